#pragma once
// Reads the unit's diagnostic stream for both programs: takes what the port holds, picks out the
// known lines and records them as they come. The window and k64ctl diag only show what it hands
// them.

#include "device/device.h"
#include "device/diagnostic_scanner.h"
#include "service/diagnostic_recording.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace k64::service {

struct DiagnosticChunk {
    std::vector<DiagnosticEvent> events;  // in the order the lines arrived
    std::chrono::milliseconds at{0};      // when they were read, since Start()
    bool received = false;                // bytes came; false when nothing was waiting
    bool hungUp = false;                  // the line is gone (unplugged, port closed)
    // Why the recording stopped taking rows, the first time only; the events are still here.
    std::optional<std::string> recordingFailure;
};

class DiagnosticReader {
public:
    // Begins a run: an unfinished line of an earlier one is forgotten and the clock starts.
    // `recording` (null for none) gets every event before Read() hands it on, so whatever ends
    // the run leaves the recording complete.
    void Start(std::unique_ptr<DiagnosticRecording> recording = nullptr);

    // Waits up to `wait` for bytes (not at all for zero: a timer tick takes what is there), then
    // reads what the port holds.
    [[nodiscard]] DiagnosticChunk Read(TDevice& device, std::chrono::milliseconds wait = {});

    // Ends the run: a line cut short by the end counts and is recorded; the recording is closed.
    [[nodiscard]] DiagnosticChunk Finish();

    // The run's recording, null when it has none or after Finish().
    DiagnosticRecording* Recording() const { return recording_.get(); }

private:
    DiagnosticChunk Take(std::vector<DiagnosticEvent> events);

    DiagnosticLineScanner scanner_;
    std::unique_ptr<DiagnosticRecording> recording_;
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::vector<char> buffer_;
};

}  // namespace k64::service
