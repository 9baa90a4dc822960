#pragma once
// The device object: the program's one conversation partner with the unit.
//
// Every request operation is one self-contained exchange: open the port, send one request
// frame, wait for one reply frame of the expected code, take its data, close the port. Results:
//
//   kOk            ( 1) the expected reply arrived and was taken
//   kPortNotOpened (-1) nothing was exchanged: the port cannot be opened, another exchange is
//                       running (a nested call from the sleeper's event loop), the request does
//                       not fit one frame, exchanges have been ended (EndExchanges), or the
//                       port failed while the request was being sent (the port is then closed)
//   kNoReply       (-2) no complete reply within the reply time-out, or the line hung up
//   kBadReply      (-3) a complete frame came but it is no valid message, or not the one awaited
//
// Outputs (text, id) are written only on kOk. There is no retry at this level.

#include "common/message_interface.h"
#include "device/frame_reader.h"
#include "device/messages.h"
#include "device/port_store.h"
#include "device/protocol.h"
#include "device/vcom_port.h"
#include "device/wait_clock.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>

namespace k64 {

inline constexpr int kOk = 1, kPortNotOpened = -1, kNoReply = -2, kBadReply = -3;
// A request without a reply (SendOnly, EnableDiagnosticMode) went out.
inline constexpr int kSent = 0;

// The two rules callers apply to a result. Succeeded: the awaited reply came (kOk); callers
// that take data from the reply ask this. Answered: nothing failed (no negative result);
// callers that only need the request to have gone through ask this.
constexpr bool Succeeded(int result) { return result == kOk; }
constexpr bool Answered(int result) { return result >= 0; }

// The longest settings text one frame carries; WriteSettings refuses a longer one unsent.
inline constexpr std::size_t kMaxSettingsText = quon::tms::messages::SettingsMessage::kMaxText;

// The unit's version, split in three zero-terminated texts (the same 96-byte record as in the
// firmware image).
struct VersionInfo {
    char Type[48];
    char Version[16];
    char BuildDate[32];
};
static_assert(sizeof(VersionInfo) == 96);

class DeviceInterface {
public:
    virtual ~DeviceInterface() = default;
    virtual void SetPortName(const std::string& name) = 0;
    [[nodiscard]] virtual int ReadSettings(std::string* text) = 0;
    [[nodiscard]] virtual int WriteSettings(const std::string& text) = 0;
    // 0 when the request went out, -1 otherwise; the port stays open for the diagnostic text
    // until ClosePort().
    [[nodiscard]] virtual int EnableDiagnosticMode() = 0;
    virtual void ClosePort() = 0;
    [[nodiscard]] virtual int GetId(std::uint32_t* id) = 0;
    [[nodiscard]] virtual int SetId(std::uint32_t id) = 0;
    [[nodiscard]] virtual int GetVersion(std::string* text) = 0;
    // The unit needs longer to prepare: the reply wait is 10 s (firmware) or 20 s (sound).
    [[nodiscard]] virtual int BeginFirmwareUpdate() = 0;
    [[nodiscard]] virtual int BeginWaveUpdate() = 0;
    [[nodiscard]] virtual int SendDataFragment(const void* data, std::uint32_t offset,
                                               std::uint16_t count) = 0;
    // Note the order: CRC first here, total size first on the wire.
    [[nodiscard]] virtual int CommitUpdate(std::uint32_t crc, std::uint32_t totalSize) = 0;
    // 1 when the request went out, -1 otherwise; the unit does not answer.
    [[nodiscard]] virtual int Restart() = 0;
    // Type, version and build date are the reply's lines; each is cut to its field, missing
    // ones are empty.
    virtual void ParseVersion(VersionInfo* info, const std::string& text) = 0;
    // Probes the catalog's ports in order and binds to the first that answers both the id and
    // the version request; shows the outcome on `owner` and stores the name found. Each port is
    // held while it is probed, and one held by another process is passed over untouched.
    virtual bool FindPort(MessageInterface* owner) = 0;
    // Keeps the port from other processes between the exchanges of one operation (an update
    // from prepare to commit); every successful HoldPort() is matched by one ReleasePort().
    // False, with nothing sent, when another process holds the port.
    [[nodiscard]] virtual bool HoldPort() = 0;
    virtual void ReleasePort() = 0;
    // Why the port could not be had at the last exchange or hold that failed to get it; empty
    // once one got it, or once taken. The front ends tell it after their own message.
    virtual quon::io::PortFailure TakePortFailure() { return {}; }
};

class TDevice final : public DeviceInterface {
public:
    // Takes the port name from `store`; the port is not opened. Both references must outlive
    // the object. `clock` measures reply waits (tests pass a faster one).
    TDevice(PortNameStore& store, PortCatalog& catalog, const WaitClock& clock = SteadyWaitClock());
    ~TDevice() override;
    TDevice(const TDevice&) = delete;
    TDevice& operator=(const TDevice&) = delete;

    void SetPortName(const std::string& name) override;
    [[nodiscard]] int ReadSettings(std::string* text) override;
    [[nodiscard]] int WriteSettings(const std::string& text) override;
    [[nodiscard]] int EnableDiagnosticMode() override;
    void ClosePort() override;
    [[nodiscard]] int GetId(std::uint32_t* id) override;
    [[nodiscard]] int SetId(std::uint32_t id) override;
    [[nodiscard]] int GetVersion(std::string* text) override;
    [[nodiscard]] int BeginFirmwareUpdate() override;
    [[nodiscard]] int BeginWaveUpdate() override;
    [[nodiscard]] int SendDataFragment(const void* data, std::uint32_t offset,
                                       std::uint16_t count) override;
    [[nodiscard]] int CommitUpdate(std::uint32_t crc, std::uint32_t totalSize) override;
    [[nodiscard]] int Restart() override;
    void ParseVersion(VersionInfo* info, const std::string& text) override;
    bool FindPort(MessageInterface* owner) override;
    [[nodiscard]] bool HoldPort() override { return port_.Hold(); }
    void ReleasePort() override { port_.Unhold(); }
    quon::io::PortFailure TakePortFailure() override { return port_.TakeFailure(); }

    // An exchange is running; a nested one is refused without touching the port.
    bool Busy() const { return busy_; }
    // The program is ending: the exchange under way finishes, every later one fails at once
    // (kPortNotOpened) with nothing sent, so that no new wait begins.
    void EndExchanges() { ended_ = true; }
    // How long the last exchange waited for a reply that never came; zero after one that was
    // answered, and once taken.
    std::chrono::milliseconds TakeSilence() { return std::exchange(silence_, {}); }
    // The diagnostic window reads the unit's text directly from here.
    quon::io::InputStream& InputStream() { return input_; }
    std::string PortName() const { return port_.Name(); }
    std::chrono::milliseconds ReplyTimeout() const { return replyTimeout_; }
    quon::io::VCOM_Port& Port() { return port_; }

    // Waits for one frame on the open port and turns it into the awaited message.
    [[nodiscard]] int ReceiveMessage(std::unique_ptr<quon::tms::messages::AbstractMessage>* reply,
                                     std::int16_t expected);

private:
    using Take = std::function<void(const quon::tms::messages::AbstractMessage&)>;
    [[nodiscard]] int Exchange(quon::tms::messages::AbstractMessage& request, std::int16_t expected,
                               std::chrono::milliseconds timeout, const Take& take = {});
    // Sends without a reply; the port stays open.
    [[nodiscard]] int SendOnly(quon::tms::messages::AbstractMessage& request);
    // Writes the whole frame; false when the stream fails or stops taking bytes.
    [[nodiscard]] bool Send(quon::tms::messages::AbstractMessage& message);

    PortNameStore& store_;
    PortCatalog& catalog_;
    const WaitClock& clock_;
    quon::io::VCOM_Port port_;
    quon::io::VCOMInputStream input_{&port_};
    quon::io::VCOMOutputStream output_{&port_};
    FrameReader reader_;
    std::chrono::milliseconds replyTimeout_ = protocol::kReplyTimeout;
    bool busy_ = false;
    bool ended_ = false;
    std::chrono::milliseconds silence_{0};
};

}  // namespace k64
