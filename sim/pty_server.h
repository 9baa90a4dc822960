// Serves the unit model on the master side of a pseudo-terminal. The tool opens and closes the
// slave for every exchange; the server never holds the slave open itself, so each close is seen
// (the master then reports a hang-up) and treated like a port closed on the real line: a partly
// received frame, unsent replies and the diagnostic stream are dropped.
#pragma once

#include "sim/diagnostics.h"
#include "sim/frame_codec.h"
#include "sim/line_pace.h"
#include "sim/line_watch.h"
#include "sim/options.h"
#include "sim/state_store.h"
#include "sim/unit_model.h"

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace k64::sim {

using Clock = std::chrono::steady_clock;

// Poll pace while nobody has the line open: the master reports a hang-up continuously then, so
// the server sleeps instead of waiting on it. With open notices the idle interval is only a
// safety net; without them, right after a close the tool usually opens again at once (one open
// per request), hence the short interval first.
inline constexpr std::chrono::milliseconds kReconnectPollFast{3};
inline constexpr std::chrono::milliseconds kReconnectFastWindow{1000};
inline constexpr std::chrono::milliseconds kReconnectPollIdle{25};
// Diagnostic text is dropped rather than queued beyond this while the tool does not read.
inline constexpr std::size_t kMaxQueuedText = 4096;
// A paced line is written in slices at least this far apart rather than byte by byte: the timing
// stays true on average without waking a thousand times a second at 9600 baud.
inline constexpr std::chrono::milliseconds kPaceSlice{4};

class Trace {
public:
    [[nodiscard]] bool Open(const std::string& path);
    void Bytes(const char* direction, const std::vector<std::uint8_t>& bytes);
    void Note(const std::string& text);

private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    void Line(const char* tag, const std::string& text);
    std::unique_ptr<std::FILE, Closer> file_;
    Clock::time_point start_ = Clock::now();
};

class PtyServer {
public:
    PtyServer(Options options, UnitState state, std::optional<StateStore> store);
    ~PtyServer();
    PtyServer(const PtyServer&) = delete;
    PtyServer& operator=(const PtyServer&) = delete;

    // Creates the pseudo-terminal (raw mode) and the link; false with `error` set on failure.
    [[nodiscard]] bool Open(std::string& error);
    const std::string& SlavePath() const { return slavePath_; }
    // Serves until a byte arrives on `stopFd` or the hang-up fault fires. Returns the exit status.
    [[nodiscard]] int Run(int stopFd);

private:
    enum class Step { kGoOn, kStop, kFailed };
    // The loop's steps: while nobody has the line open, look for an opener (or the stop); in a
    // session, send the replies and diagnostic text that are due, then wait for the line.
    Step AwaitOpen(int stopFd);
    void SendDueReplies(Clock::time_point now);
    void SendDiagnostics(Clock::time_point now);
    Step WaitAndServe(int stopFd, Clock::time_point now);

    void ReadLine();
    void HandleFrames(std::vector<Frame>& frames);
    // Applies the close notices that arrived: each ends the running session.
    void CheckLine();
    void Disconnected();
    void DropUnsent();
    void FlushOutput();
    void Enqueue(const std::vector<std::uint8_t>& bytes);
    void Persist();
    void HangUp();
    void RemoveLink();

    Options options_;
    Unit unit_;
    std::optional<StateStore> store_;
    Trace trace_;
    FrameParser parser_;
    DiagnosticStream diagnostics_;

    int master_ = -1;
    std::string slavePath_;
    bool linkMade_ = false;
    LineWatch watch_;
    bool watching_ = false;
    int ownCloses_ = 0;       // close notices caused by the server's own brief opens, to be skipped
    bool connected_ = false;  // a session runs whose end has not been handled yet
    bool hungUp_ = false;
    bool lineSawHangup_ = false;  // the last read met the closed slave
    std::uint64_t framesReceived_ = 0;

    struct Pending {
        Clock::time_point due;
        std::vector<std::uint8_t> bytes;
    };
    std::deque<Pending> pending_;
    std::vector<std::uint8_t> output_;
    LinePace pace_;
    bool diagnosticsOn_ = false;
    Clock::time_point nextDiagnostics_{};
    std::optional<Clock::time_point> knockDue_;
    Clock::time_point lastClose_ = Clock::now();
};

}  // namespace k64::sim
