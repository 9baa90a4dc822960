#include "service/diagnostic_reader.h"

#include <algorithm>
#include <string_view>
#include <utility>

namespace k64::service {
namespace {

// Available() is the unit's word: one read takes at most this much, the rest waits for the next
// one, so a flood cannot make a read (or a tick of the window) grow without bound.
constexpr int kMaxChunk = 64 * 1024;

}  // namespace

void DiagnosticReader::Start(std::unique_ptr<DiagnosticRecording> recording)
{
    scanner_.Reset();
    recording_ = std::move(recording);
    start_ = std::chrono::steady_clock::now();
}

DiagnosticChunk DiagnosticReader::Read(TDevice& device, std::chrono::milliseconds wait)
{
    if (wait > std::chrono::milliseconds::zero()) {
        const quon::io::WaitResult ready = device.Port().WaitReadable(wait);
        if (ready == quon::io::WaitResult::kHungUp) {
            DiagnosticChunk gone;
            gone.hungUp = true;
            return gone;
        }
        if (ready != quon::io::WaitResult::kReady)
            return {};
    }
    const int count = std::min(device.InputStream().Available(), kMaxChunk);
    if (count <= 0)
        return {};
    buffer_.resize(static_cast<std::size_t>(count));
    // Bytes from the unit are never thrown away silently: a read that brings fewer than were
    // counted hands on those that did come. Hence the port's own read, which says how many; the
    // stream's says only that it fell short.
    const int got = device.Port().Read(buffer_.data(), count);
    if (got <= 0)
        return {};
    DiagnosticChunk chunk =
        Take(scanner_.Feed(std::string_view(buffer_.data(), static_cast<std::size_t>(got))));
    chunk.received = true;
    return chunk;
}

DiagnosticChunk DiagnosticReader::Finish()
{
    DiagnosticChunk chunk = Take(scanner_.Flush());
    recording_.reset();
    return chunk;
}

DiagnosticChunk DiagnosticReader::Take(std::vector<DiagnosticEvent> events)
{
    DiagnosticChunk chunk;
    chunk.at = std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now() - start_);
    if (recording_ && !recording_->Add(chunk.at, events))
        chunk.recordingFailure = recording_->NewFailure();
    chunk.events = std::move(events);
    return chunk;
}

}  // namespace k64::service
