#include "device/vcom_port.h"

#include "common/message_interface.h"
#include "device/protocol.h"

#include <climits>

namespace quon::io {

namespace proto = k64::protocol;
using std::chrono::milliseconds;

namespace {

milliseconds TransferLimit(int count)
{
    return proto::kPortTimeoutBase + proto::kPortTimeoutPerByte * count;
}

}  // namespace

VCOM_Port::VCOM_Port(std::string name) : name_(std::move(name)) {}

VCOM_Port::~VCOM_Port() { Close(); }

void VCOM_Port::SetName(const std::string& name) { name_ = name; }

bool VCOM_Port::Open()
{
    if (IsOpen())
        return true;
    failure_ = {};
    if (!TakeLock())
        return false;
    hungUp_ = false;
    const LineSettings line{proto::kBaudRate, proto::kByteSize, proto::kParity, proto::kStopBits};
    const OpenOutcome outcome = OpenDevice(line);
    if (outcome == OpenOutcome::kOpened)
        return true;

    const std::string status = "Параметры порта " + std::to_string(line.baudRate) + ", " +
                               std::to_string(line.byteSize) + ", " + "Parity " +
                               std::to_string(line.parity) + ", " + "StopBits " +
                               std::to_string(line.stopBits + 1);
    switch (outcome) {
    case OpenOutcome::kNoStatus:
        k64::ShowMessage(nullptr, "Статус порта не досупен", "Error");
        break;
    case OpenOutcome::kLineRejected:
        k64::ShowMessage(nullptr, status, "Параметры порта не устанавливаются");
        break;
    case OpenOutcome::kTimeoutsRejected:
        k64::ShowMessage(nullptr, status, "Параметры таймаута не устанавливаются");
        break;
    default: break;  // missing or busy: the caller reports it
    }
    // A half-configured port must not count as open: the next Open() would skip the settings.
    Close();
    return false;
}

void VCOM_Port::Close()
{
    if (handle_ != kNoHandle)
        CloseDevice();
    handle_ = kNoHandle;
    savedLine_.reset();
    lookahead_.clear();
    ReleaseUnlessHeld();
}

void VCOM_Port::ReleaseUnlessHeld()
{
    if (holds_ == 0 && !IsOpen())
        lock_.Release();
}

bool VCOM_Port::TakeLock()
{
    if (lock_.Acquire(name_))
        return true;
    failure_ = lock_.Failure();
    return false;
}

bool VCOM_Port::Hold()
{
    failure_ = {};
    if (!TakeLock())
        return false;
    ++holds_;
    return true;
}

void VCOM_Port::Unhold()
{
    if (holds_ > 0)
        --holds_;
    ReleaseUnlessHeld();
}

bool VCOM_Port::Probe()
{
    if (IsOpen())
        return true;
    failure_ = {};
    if (!TakeLock())
        return false;
    const bool serial = DeviceProbe();
    ReleaseUnlessHeld();
    return serial;
}

unsigned VCOM_Port::OutQueueCount()
{
    if (!IsOpen())
        return 0;
    if (outQueueCounter_)
        return outQueueCounter_();
    unsigned count = 0;
    return DeviceOutQueue(&count) ? count : 0;
}

unsigned VCOM_Port::InQueueCount()
{
    unsigned count = 0;
    if (!IsOpen() || !DeviceInQueue(&count))
        return 0;
    return count;
}

int VCOM_Port::OutQueueFree()
{
    if (!IsOpen())
        return 0;
    const unsigned queued = OutQueueCount();
    const unsigned window = proto::kTransmitWindow;
    return queued < window ? static_cast<int>(window - queued) : 0;
}

int VCOM_Port::Write(const void* data, int count)
{
    if (!IsOpen() || count <= 0)
        return 0;
    return DeviceWrite(data, count, TransferLimit(count));
}

int VCOM_Port::Read(void* data, int count)
{
    if (!IsOpen() || count <= 0)
        return 0;
    return DeviceRead(data, count, TransferLimit(count));
}

WaitResult VCOM_Port::WaitReadable(milliseconds limit)
{
    if (!IsOpen())
        return WaitResult::kHungUp;
    return DeviceWait(limit, true);
}

WaitResult VCOM_Port::WaitIdle(milliseconds limit)
{
    if (!IsOpen())
        return WaitResult::kHungUp;
    return DeviceWait(limit, false);
}

// Streams: one to one onto the port, with the -1 / -2 results of the stream contract.

bool VCOMOutputStream::IsOpen() { return port_->IsOpen(); }
void VCOMOutputStream::Close() { port_->Close(); }
bool VCOMOutputStream::Open() { return port_->Open(); }
int VCOMOutputStream::FreeSpace() { return port_->OutQueueFree(); }
bool VCOMOutputStream::IsEmpty() { return port_->OutQueueCount() == 0; }

int VCOMOutputStream::Write(const void* data, int count)
{
    if (!port_->IsOpen())
        return kStreamNotOpen;
    if (count < 0)
        return kStreamShort;
    return port_->Write(data, count) < count ? kStreamShort : count;
}

int VCOMInputStream::Available()
{
    const unsigned n = port_->InQueueCount();
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}
bool VCOMInputStream::IsOpen() { return port_->IsOpen(); }
void VCOMInputStream::Close() { port_->Close(); }
bool VCOMInputStream::Open() { return port_->Open(); }
bool VCOMInputStream::IsEmpty() { return port_->InQueueCount() == 0; }

int VCOMInputStream::Read(void* data, int count)
{
    if (!port_->IsOpen())
        return kStreamNotOpen;
    if (count < 0)
        return kStreamShort;
    return port_->Read(data, count) < count ? kStreamShort : count;
}

}  // namespace quon::io
