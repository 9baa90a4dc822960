#include "device/device.h"

#include "common/cp1251.h"
#include "common/shared_texts.h"

#include <algorithm>
#include <cstring>

namespace k64 {

using namespace quon::tms::messages;
using quon::io::WaitResult;
using std::chrono::milliseconds;

namespace {

// Marks the device busy for the length of one exchange.
class BusyScope {
public:
    explicit BusyScope(bool& busy) : busy_(busy) { busy_ = true; }
    ~BusyScope() { busy_ = false; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    bool& busy_;
};

// The port's blocking waits, as the frame reader wants them.
class PortWaiter final : public ReadWaiter {
public:
    explicit PortWaiter(quon::io::VCOM_Port& port) : port_(port) {}
    WaitResult Wait(milliseconds limit, bool forData) override
    {
        return forData ? port_.WaitReadable(limit) : port_.WaitIdle(limit);
    }

private:
    quon::io::VCOM_Port& port_;
};

// Passes writes through and remembers whether the stream ever failed and how much it took, so
// the sending loop can tell a dead port from a full transmit window.
class WatchedOutput final : public quon::io::OutputStream {
public:
    explicit WatchedOutput(quon::io::OutputStream& out) : out_(out) {}
    bool IsOpen() override { return out_.IsOpen(); }
    void Close() override { out_.Close(); }
    bool Open() override { return out_.Open(); }
    int FreeSpace() override { return out_.FreeSpace(); }
    bool IsEmpty() override { return out_.IsEmpty(); }
    int Write(const void* data, int count) override
    {
        const int result = out_.Write(data, count);
        if (result < 0)
            failed_ = true;
        else
            written_ += static_cast<std::uint64_t>(result);
        return result;
    }
    bool Failed() const { return failed_; }
    std::uint64_t Written() const { return written_; }

private:
    quon::io::OutputStream& out_;
    bool failed_ = false;
    std::uint64_t written_ = 0;
};

// Copies `text` into a zero-terminated field of `size` bytes, cutting what does not fit.
void CopyField(char* field, std::size_t size, std::string_view text)
{
    const std::size_t n = std::min(text.size(), size - 1);
    if (n > 0)
        std::memcpy(field, text.data(), n);
    field[n] = '\0';
}

}  // namespace

TDevice::TDevice(PortNameStore& store, PortCatalog& catalog, const WaitClock& clock)
    : store_(store), catalog_(catalog), clock_(clock), port_(store.Load())
{
}

TDevice::~TDevice() { port_.Close(); }

void TDevice::SetPortName(const std::string& name) { port_.SetName(name); }

void TDevice::ClosePort()
{
    // A nested call must not pull the port from under the exchange that is waiting on it.
    if (!busy_)
        port_.Close();
}

bool TDevice::Send(AbstractMessage& message)
{
    WatchedOutput out(output_);
    // A window that never frees up (unplugged mid-frame, stalled driver) ends the send after
    // the time a write of the whole frame is given.
    const milliseconds limit =
        protocol::kPortTimeoutBase +
        protocol::kPortTimeoutPerByte * (message.GetFrameLength() + protocol::kTrailerSize);
    auto lastProgress = clock_.Now();
    std::uint64_t lastWritten = 0;
    for (;;) {
        const bool done = message.Write(out);
        if (out.Failed())
            return false;
        if (done)
            return true;
        if (out.Written() != lastWritten) {
            lastWritten = out.Written();
            lastProgress = clock_.Now();
            continue;
        }
        if (clock_.Now() - lastProgress >= limit)
            return false;
        // The window is full: give the line time to drain instead of asking again at once.
        if (port_.WaitIdle(protocol::kSendWaitSlice) == WaitResult::kHungUp)
            return false;
    }
}

int TDevice::ReceiveMessage(std::unique_ptr<AbstractMessage>* reply, std::int16_t expected)
{
    reply->reset();
    PortWaiter waiter(port_);
    const auto result = reader_.Receive(input_, waiter, replyTimeout_, clock_);
    silence_ = result == FrameReader::Result::kTimedOut ? replyTimeout_ : milliseconds(0);
    if (result != FrameReader::Result::kComplete)
        return kNoReply;
    auto message = CreateMessage(reader_.CodeWord(), reader_.Payload(), reader_.PayloadLength());
    reader_.Reset();
    if (!message)
        return kBadReply;
    if ((message->GetCode() & protocol::kCodeMask) != (expected & protocol::kCodeMask))
        return kBadReply;
    *reply = std::move(message);
    return kOk;
}

int TDevice::Exchange(AbstractMessage& request, std::int16_t expected, milliseconds timeout,
                      const Take& take)
{
    if (const int sent = SendOnly(request); sent != kSent)
        return sent;
    BusyScope scope(busy_);
    reader_.Reset();
    replyTimeout_ = timeout;
    std::unique_ptr<AbstractMessage> reply;
    const int result = ReceiveMessage(&reply, expected);
    if (reply && take)
        take(*reply);
    reply.reset();
    port_.Close();
    replyTimeout_ = protocol::kReplyTimeout;
    return result;
}

int TDevice::SendOnly(AbstractMessage& request)
{
    if (busy_ || ended_)
        return kPortNotOpened;
    BusyScope scope(busy_);
    if (!port_.Open())
        return kPortNotOpened;
    if (!Send(request)) {
        port_.Close();
        return kPortNotOpened;
    }
    return 0;
}

int TDevice::ReadSettings(std::string* text)
{
    ReqSettingsMessage request;
    return Exchange(request, protocol::kSettings, protocol::kReplyTimeout,
                    [text](const AbstractMessage& reply) {
                        *text = dynamic_cast<const SettingsMessage&>(reply).GetText();
                    });
}

int TDevice::WriteSettings(const std::string& text)
{
    SettingsMessage request;
    if (!request.SetText(text))
        return kPortNotOpened;  // cannot be framed: nothing is sent
    return Exchange(request, protocol::kSettings, protocol::kReplyTimeout);
}

int TDevice::EnableDiagnosticMode()
{
    DiagnosticModeEnableMessage request;
    return SendOnly(request) == kSent ? kSent : kPortNotOpened;
}

int TDevice::GetId(std::uint32_t* id)
{
    ReqIdInfoMessage request;
    return Exchange(request, protocol::kIdInfo, protocol::kReplyTimeout,
                    [id](const AbstractMessage& reply) {
                        *id = dynamic_cast<const IdInfoMessage&>(reply).GetId();
                    });
}

int TDevice::SetId(std::uint32_t id)
{
    IdSetMessage request(id);
    return Exchange(request, protocol::kIdInfo, protocol::kReplyTimeout);
}

int TDevice::GetVersion(std::string* text)
{
    ReqVersionMessage request;
    return Exchange(request, protocol::kText, protocol::kReplyTimeout,
                    [text](const AbstractMessage& reply) {
                        *text = dynamic_cast<const TextMessage&>(reply).GetText();
                    });
}

int TDevice::BeginFirmwareUpdate()
{
    BeginFirmwareUpdateMessage request;
    return Exchange(request, protocol::kBeginUpdateAck, protocol::kFirmwarePrepareTimeout);
}

int TDevice::BeginWaveUpdate()
{
    BeginWaveUpdateMessage request;
    return Exchange(request, protocol::kBeginUpdateAck, protocol::kWavePrepareTimeout);
}

int TDevice::SendDataFragment(const void* data, std::uint32_t offset, std::uint16_t count)
{
    DataFragmentMessage request;
    if (!request.SetData(data, count))
        return kPortNotOpened;  // no block to send: nothing is sent
    request.SetOffset(offset);
    return Exchange(request, protocol::kDataFragmentAck, protocol::kReplyTimeout);
}

int TDevice::CommitUpdate(std::uint32_t crc, std::uint32_t totalSize)
{
    CommitUpdateMessage request;
    request.SetTotalSize(totalSize);
    request.SetCrc(crc);
    return Exchange(request, protocol::kCommitUpdateAck, protocol::kReplyTimeout);
}

int TDevice::Restart()
{
    RestartMessage request;
    if (SendOnly(request) != kSent)
        return kPortNotOpened;
    port_.Close();
    return kOk;
}

void TDevice::ParseVersion(VersionInfo* info, const std::string& text)
{
    std::memset(info, 0, sizeof(*info));
    // The reply text ends at a zero byte, if it carries one.
    std::string_view rest(text.data(), std::min(text.find('\0'), text.size()));
    auto line = [&rest]() {
        const std::size_t end = rest.find('\n');
        const std::string_view part = rest.substr(0, end);
        rest = end == std::string_view::npos ? std::string_view() : rest.substr(end + 1);
        return part;
    };
    CopyField(info->Type, sizeof(info->Type), line());
    CopyField(info->Version, sizeof(info->Version), line());
    CopyField(info->BuildDate, sizeof(info->BuildDate), rest);
}

bool TDevice::FindPort(MessageInterface* owner)
{
    if (busy_ || ended_)
        return false;
    // The search rebinds the device; a port left open on the old name would be used instead.
    port_.Close();
    const std::string previous = port_.Name();
    for (const std::string& name : catalog_.Candidates()) {
        SetPortName(name);
        // Held before the first byte: a port that another process is updating is not touched.
        if (!HoldPort())
            continue;
        std::uint32_t id = 0;
        std::string text;
        const bool answered = port_.Probe() && Answered(GetId(&id)) && Answered(GetVersion(&text));
        ReleasePort();
        if (!answered)
            continue;
        VersionInfo info;
        ParseVersion(&info, text);
        const std::string report = "Порт:\t" + name + "\n" + "Тип:\t" + Cp1251ToUtf8(info.Type) +
                                   "\n" + "Версия:\t" + Cp1251ToUtf8(info.Version) + "\n" +
                                   "Номер:\t" + std::to_string(id) + "\n";
        ShowMessage(owner, report, texts::kDeviceFound, MessageButtons::Ok);
        store_.Save(name);
        return true;
    }
    // Nothing found: stay bound to the port the stored name points at. Why some other port
    // could not be probed says nothing about that one.
    SetPortName(previous);
    port_.TakeFailure();
    ShowMessage(owner, texts::kDeviceNotFound, texts::kAttention, MessageButtons::Ok);
    return false;
}

}  // namespace k64
