// Arbitrary bytes from the line through the frame reader and the message factory. The input's
// first byte sets how many bytes arrive at a time, so frames are cut across every possible
// boundary. Every message that comes out must survive its own encoding unchanged.

#include "device/frame_reader.h"
#include "device/messages.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <vector>

namespace {

using namespace quon::tms::messages;
using std::chrono::milliseconds;

// Bytes arrive `step` at a time: each wait lets the next piece in; when all are in, the line
// hangs up, which ends any reception still waiting.
class Trickle final : public quon::io::InputStream, public k64::ReadWaiter {
public:
    Trickle(const std::uint8_t* data, std::size_t size, std::size_t step)
        : data_(data), size_(size), step_(step), arrived_(std::min(size, step))
    {
    }
    int Available() override { return static_cast<int>(arrived_ - read_); }
    bool IsOpen() override { return true; }
    void Close() override {}
    bool Open() override { return true; }
    bool IsEmpty() override { return Available() == 0; }
    int Read(void* to, int count) override
    {
        const std::size_t n =
            std::min<std::size_t>(static_cast<std::size_t>(count), arrived_ - read_);
        std::memcpy(to, data_ + read_, n);
        read_ += n;
        return n == static_cast<std::size_t>(count) ? count : quon::io::kStreamShort;
    }
    quon::io::WaitResult Wait(milliseconds, bool) override
    {
        if (arrived_ == size_)
            return quon::io::WaitResult::kHungUp;
        arrived_ = std::min(size_, arrived_ + step_);
        return quon::io::WaitResult::kReady;
    }
    bool Done() const { return read_ == size_ && arrived_ == size_; }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t step_;
    std::size_t arrived_;
    std::size_t read_ = 0;
};

// Takes everything, with a free space the input chose, to drive the incremental writers.
class Sink final : public quon::io::OutputStream {
public:
    explicit Sink(int window) : window_(window) {}
    bool IsOpen() override { return true; }
    void Close() override {}
    bool Open() override { return true; }
    int FreeSpace() override { return window_; }
    bool IsEmpty() override { return true; }
    int Write(const void* data, int count) override
    {
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + count);
        return count;
    }
    std::vector<std::uint8_t> bytes;

private:
    int window_;
};

void CheckRoundTrip(const AbstractMessage& m, int window)
{
    const std::vector<std::uint8_t> payload = m.GetPayload();
    if (payload.size() != m.GetPayloadLength())
        std::abort();
    const std::vector<std::uint8_t> frame = m.Encode();
    if (frame.size() != payload.size() + 4)
        std::abort();
    auto back = CreateMessage(m.CodeWord(), frame.data() + 4, m.GetPayloadLength());
    if (!back || back->GetCode() != m.GetCode() || back->GetFlag() != m.GetFlag() ||
        back->GetPayload() != payload)
        std::abort();
    // Writing in pieces yields the same frame and trailer. Only the two incremental writers
    // work through a window smaller than their frame; the others wait for room for all of it.
    const bool incremental = dynamic_cast<const SettingsMessage*>(back.get()) != nullptr ||
                             dynamic_cast<const DataFragmentMessage*>(back.get()) != nullptr;
    Sink sink(incremental ? window : static_cast<int>(frame.size()) + 4);
    int calls = 0;
    while (!back->Write(sink))
        if (++calls > 100000)
            std::abort();
    std::vector<std::uint8_t> whole = frame;
    whole.insert(whole.end(), 4, 0);
    if (sink.bytes != whole)
        std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 2)
        return 0;
    const std::size_t step = 1 + data[0] % 64;
    const int window = 10 + data[1] % 60;  // at least a fragment header
    data += 2;
    size -= 2;

    // The factory on its own, with the first two bytes as the code word.
    if (size >= 2) {
        const auto codeWord = static_cast<std::uint16_t>(data[0] | data[1] << 8);
        const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(size - 2, 0xFFFF));
        if (auto m = CreateMessage(codeWord, data + 2, length))
            CheckRoundTrip(*m, window);
    }

    // The line: frames back to back until the bytes run out.
    Trickle line(data, size, step);
    k64::FrameReader reader;
    for (int frames = 0; frames < 10000; ++frames) {
        reader.Reset();
        const auto result = reader.Receive(line, line, milliseconds(3'600'000));
        if (result != k64::FrameReader::Result::kComplete)
            break;
        if (reader.PayloadLength() > k64::protocol::kMaxReceivedPayload)
            std::abort();
        if (auto m = CreateMessage(reader.CodeWord(), reader.Payload(), reader.PayloadLength()))
            CheckRoundTrip(*m, window);
    }
    return 0;
}
