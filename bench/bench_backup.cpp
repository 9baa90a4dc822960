// What keeping the settings costs a firmware update: the time from the user's Yes to the first
// acknowledged block, with and without the backup that the window and k64ctl take before the
// prepare request, against k64-sim. The backup adds one id and one settings exchange. And a
// settings write with and without its read-back, which adds one settings exchange.

#include "device/device.h"
#include "parameters/parameter_list.h"
#include "quiet_update_view.h"
#include "service/firmware_workflow.h"
#include "support/memory_ports.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"
#include "update/firmware_update.h"
#include "update/update_constants.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <optional>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// The transfer's window that also takes what keeping the settings reports, and ignores it.
class QuietView final : public k64::bench::QuietView, public k64::service::WorkflowView {
public:
    k64::MessageInterface* MessageOwner() override { return k64::bench::QuietView::MessageOwner(); }
    void SettingsKept(const std::string&, const std::filesystem::path&) override {}
    void ShowDifferences(const std::vector<k64::SettingDifference>&) override {}
    bool OfferRestore(std::size_t, const std::filesystem::path&) override { return false; }
    bool ContinueWithoutBackup(const std::string&) override { return false; }
    void ReadBack(const std::vector<std::string>&) override {}
};

// Milliseconds from the click (its questions answered at once) to the end of the first tick,
// whose block the unit has acknowledged; the transfer is stopped there, nothing committed.
double YesToFirstBlock(k64::DeviceInterface& device, const k64::ParameterList* schema,
                       const std::filesystem::path& history)
{
    QuietView view;
    k64::FirmwareUpdate firmware(view);
    if (!firmware.LoadFirmwareImage())
        return -1;
    std::optional<k64::service::FirmwareSafetyNet> net;
    if (schema != nullptr)
        net.emplace(firmware, *schema, history, view);
    const auto t0 = Clock::now();
    firmware.BlowUpdateButtonClick(&device);
    std::this_thread::sleep_for(k64::update::kTimer1Interval);
    firmware.Timer1Timer(&device);
    const auto t1 = Clock::now();
    const bool sent = firmware.BlowSendPos > 0;
    firmware.Stop();
    return sent ? std::chrono::duration<double, std::milli>(t1 - t0).count() : -1;
}

// Milliseconds of one settings write (no backup), read back when `verify`.
double Write(k64::DeviceInterface& device, const k64::ParameterList& schema, bool verify)
{
    k64::ParameterList target = schema;
    target.ReadText("MicLevel=12\n");
    QuietView view;
    const auto t0 = Clock::now();
    const auto outcome =
        k64::service::WriteWithBackup(device, target, {}, view, {false, {}, verify});
    const auto t1 = Clock::now();
    return outcome == k64::service::WriteOutcome::Written
               ? std::chrono::duration<double, std::milli>(t1 - t0).count()
               : -1;
}

void Print(const char* what, std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    std::printf("%-24s median %7.2f ms  min %7.2f ms  max %7.2f ms  (%zu runs)\n", what,
                ms[ms.size() / 2], ms.front(), ms.back(), ms.size());
}

}  // namespace

int main()
{
    k64::test::SimProcess sim(K64_SIM_PATH, {"--prepare-delay-ms", "0"});
    if (!sim.Started()) {
        std::fprintf(stderr, "bench_backup: k64-sim did not start\n");
        return 1;
    }
    k64::test::TempDir history("bench-backup");
    k64::test::MemoryPortStore store(sim.PtyPath());
    k64::test::ListPortCatalog catalog;
    k64::TDevice device(store, catalog);
    const k64::ParameterList schema;

    constexpr int kRuns = 15;
    std::vector<double> without, with;
    for (int i = 0; i < kRuns; ++i) {
        without.push_back(YesToFirstBlock(device, nullptr, {}));
        with.push_back(YesToFirstBlock(device, &schema, history.Path()));
    }
    std::printf("firmware update, Yes to first acknowledged block, k64-sim (prepare delay 0)\n");
    Print("without the backup", without);
    Print("with the backup", with);

    // The read-back after a write is one settings exchange: the difference of the two.
    std::vector<double> written, verified;
    for (int i = 0; i < kRuns; ++i) {
        written.push_back(Write(device, schema, false));
        verified.push_back(Write(device, schema, true));
    }
    std::printf("settings write without a backup, k64-sim\n");
    Print("written", written);
    Print("written and read back", verified);
    return 0;
}
