#pragma once
// Kernel pseudo-terminal pairs for serial tests: the code under test opens the slave path as its
// serial port, the test plays the unit on the master descriptor. ScriptedUnit answers frames
// from a thread with the simulator's codec (kept apart from the tool's, so that a fault in one
// is not mirrored in the other); ScaledClock lets reply time-outs pass faster than real time.

#include "device/wait_clock.h"
#include "sim/frame_codec.h"
#include "sim/unit_model.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace k64::test {

using Bytes = std::vector<std::uint8_t>;

class PtyPair {
public:
    // Opens the pair and holds a raw slave descriptor of its own, so the master never sees the
    // slave side hang up between the device's exchanges (the device opens and closes per
    // exchange) and bytes written before the device opens are not echoed or translated.
    PtyPair();
    ~PtyPair();
    PtyPair(const PtyPair&) = delete;
    PtyPair& operator=(const PtyPair&) = delete;

    const std::string& SlavePath() const { return slavePath_; }
    int Master() const { return master_; }
    // Writes all bytes to the master (the unit speaks).
    void Send(const Bytes& bytes) const;
    // Collects what the device wrote until `count` bytes came or `limit` passed.
    Bytes Receive(std::size_t count, std::chrono::milliseconds limit) const;
    // Hangs the line up, as an unplugged unit would.
    void CloseMaster();

private:
    int master_ = -1;
    int keepAlive_ = -1;
    std::string slavePath_;
};

// Request frames as the unit sees them, and reply payloads, from the simulator's codec.
using sim::Frame;
using sim::TextPayload;
using sim::U32Payload;

// A whole frame for a code word (bit 15 is the flag), in the simulator's encoding.
inline Bytes EncodeFrame(std::uint16_t codeWord, const Bytes& payload = {})
{
    return sim::EncodeFrame(codeWord, payload, (codeWord & sim::kFlagBit) != 0);
}

struct UnitReply {
    Bytes bytes;                         // written to the line as they are
    std::chrono::milliseconds delay{0};  // before writing
    bool hangUp = false;                 // then close the master
};

// Plays a unit on a pty master: every complete request frame goes to `handler`, whose reply is
// written back. Frames are recorded in arrival order.
class ScriptedUnit {
public:
    using Handler = std::function<UnitReply(const Frame&)>;
    ScriptedUnit(PtyPair& pty, Handler handler);
    ~ScriptedUnit();
    ScriptedUnit(const ScriptedUnit&) = delete;
    ScriptedUnit& operator=(const ScriptedUnit&) = delete;

    std::vector<Frame> Frames() const;
    // Waits (blocking, bounded) until at least `count` frames came.
    bool WaitFrames(std::size_t count, std::chrono::milliseconds limit) const;

private:
    void Run();

    PtyPair& pty_;
    Handler handler_;
    int stopPipe_[2] = {-1, -1};
    mutable std::mutex mutex_;
    std::vector<Frame> frames_;
    std::thread thread_;
};

// The simulator's unit model behind a ScriptedUnit, with its serial number and version record.
ScriptedUnit::Handler ModelUnit(std::uint32_t id, sim::VersionRecord firmware);

// Time that runs `scale` times faster than the steady clock.
class ScaledClock final : public WaitClock {
public:
    explicit ScaledClock(int scale) : scale_(scale), origin_(std::chrono::steady_clock::now()) {}
    TimePoint Now() const override;
    std::chrono::milliseconds RealSpan(std::chrono::milliseconds span) const override;

private:
    int scale_;
    TimePoint origin_;
};

}  // namespace k64::test
