// A copy of k64ctl with k64-portable.ini beside it keeps the port and the settings history
// beside itself and nothing in the user's settings or data folders; without the file it uses
// those as always.

#include "support/child_process.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace k64::test {
namespace {

namespace fs = std::filesystem;

std::string Read(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// The history entries in `folder` (the folder keeps its numbers' reservations beside them).
std::size_t EntriesIn(const fs::path& folder)
{
    std::error_code error;
    std::size_t count = 0;
    for (const auto& entry : fs::directory_iterator(folder, error))
        count += entry.path().extension() == ".txt";
    return count;
}

TEST(CliPortable, KeepsItsPortAndHistoryBesideItself)
{
    for (const bool portable : {true, false}) {
        TempDir dir;
        SimProcess sim(SimProgram(), {"--id", "16001234"});
        ASSERT_TRUE(sim.Started());
        const fs::path stick = dir / "stick";
        fs::create_directories(stick);
        fs::copy_file(K64CTL_PATH, stick / "k64ctl");
        if (portable)
            std::ofstream(stick / "k64-portable.ini", std::ios::binary) << "; my stick\r\n";
        const std::vector<std::string> environment = {
            "HOME=" + (dir / "home"), "XDG_CONFIG_HOME=" + (dir / "config"),
            "XDG_DATA_HOME=" + (dir / "data"), "K64_EXTRA_PORTS=" + sim.PtyPath(), "LANG=C.UTF-8"};
        for (const char* command : {"find", "backup"}) {
            const ProgramResult r = RunProgram({(stick / "k64ctl").string(), command}, environment);
            ASSERT_EQ(r.status, 0) << command << r.err;
        }

        const std::string config = Read(dir / "config/QF/TB_USB_PORT.conf");
        if (portable) {
            EXPECT_EQ(Read(stick / "k64-portable.ini"),
                      "; my stick\r\n[k64]\r\nPort=" + sim.PtyPath() + "\r\n");
            EXPECT_EQ(EntriesIn(stick / "history"), 1u);
            EXPECT_FALSE(fs::exists(dir / "config")) << config;
            EXPECT_FALSE(fs::exists(dir / "data"));
        } else {
            EXPECT_NE(config.find("Port=" + sim.PtyPath()), std::string::npos) << config;
            EXPECT_EQ(EntriesIn(dir / "data/k64/history"), 1u);
            EXPECT_FALSE(fs::exists(stick / "history"));
        }
    }
}

}  // namespace
}  // namespace k64::test
