// The simulated unit's behaviour, free of I/O and clocks: a frame goes in, at most one reply
// (with the delay before it goes out) and a few effects come out. The pty server and the tests
// drive it the same way.
#pragma once

#include "sim/frame_codec.h"

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

namespace k64::sim {

// The three texts of a version record, each already bounded to its field (47, 15, 31 bytes).
struct VersionRecord {
    std::string type;
    std::string version;
    std::string buildDate;

    // Type, LF, version, LF, build date: the text of the version answer.
    std::string Text() const;
    // The 96-byte record, zero padded.
    std::vector<std::uint8_t> Encode() const;
    // Reads a record as found in an image; each text ends at its first zero or its field end.
    static VersionRecord Decode(const std::uint8_t* record);
    bool operator==(const VersionRecord&) const = default;
};

// Everything the unit keeps across restarts.
struct UnitState {
    std::uint32_t id = 0;
    std::string settings;
    VersionRecord firmware;
    std::uint32_t firmwareSize = 0;  // last committed image, 0 = the factory firmware
    std::uint32_t firmwareCrc = 0;
    std::vector<std::uint8_t> sound;  // last committed sound container, head included

    bool operator==(const UnitState&) const = default;
};

// Misbehaviour on demand. Codes are request codes.
struct Faults {
    std::set<std::uint16_t> noReply{};         // act on the request, send nothing
    std::set<std::uint16_t> wrongReply{};      // answer with a well-formed frame of another code
    std::set<std::uint16_t> malformedReply{};  // answer with the right code, payload not fitting it
    std::map<std::uint16_t, std::chrono::milliseconds> delay{};  // extra time before the answer
    std::set<std::uint64_t> dropAck{};     // 1-based numbers of data fragments stored but not acked
    bool rejectCommit = false;             // refuse every commit
    bool resetSettingsOnCommit = false;    // a committed firmware update clears the settings
    std::set<std::string> dropSettings{};  // keys a settings write does not store
};

enum class TransferKind { kNone, kFirmware, kSound };

struct Outcome {
    std::vector<std::uint8_t> reply;  // whole frame; empty = nothing to send
    std::chrono::milliseconds delay{0};
    bool startDiagnostics = false;
    bool stopDiagnostics = false;  // the unit restarted
    bool stateChanged = false;     // persist UnitState now
    std::string note;              // why a request was refused or what changed, for the trace
};

class Unit {
public:
    Unit(UnitState initial, Faults faults, std::chrono::milliseconds prepareDelay);

    Outcome Handle(const Frame& request);

    const UnitState& State() const { return state_; }
    TransferKind Transfer() const { return transfer_; }
    std::size_t Received() const { return received_.size(); }

private:
    Outcome Answer(std::uint16_t request, std::uint16_t replyCode,
                   std::vector<std::uint8_t> payload, std::chrono::milliseconds baseDelay = {});
    Outcome HandleFragment(const Frame& request);
    Outcome HandleCommit(const Frame& request);
    // Why the committed size/CRC do not describe what arrived; empty when they do.
    std::string CheckCommit(std::uint32_t size, std::uint32_t crc) const;
    void ForgetTransfer();

    UnitState state_;
    Faults faults_;
    std::chrono::milliseconds prepareDelay_;
    TransferKind transfer_ = TransferKind::kNone;
    std::vector<std::uint8_t> received_;  // transfer buffer, up to the highest byte written
    std::vector<bool> filled_;            // which bytes of received_ a fragment has written
    std::uint64_t fragmentsSeen_ = 0;
};

}  // namespace k64::sim
