#pragma once
// The base of every message of the unit's protocol, and the frame it travels in.
//
// Frame layout (both directions, little-endian):
//
//   offset  size  field
//   0       2     code word: bits 0-14 command code, bit 15 flag
//   2       2     payload length n (header and trailer not counted)
//   4       n     payload, laid out per command code (messages.h)
//   4+n     4     trailer: sent as four zero bytes, read and ignored on reception
//
// A frame is n + 8 bytes long. Received payloads are limited to 1016 bytes (the whole frame
// fits the 1024-byte receive buffer); sent frames are not.

#include "device/streams.h"

#include <cstdint>
#include <vector>

namespace quon::tms::messages {

class AbstractMessage {
public:
    explicit AbstractMessage(std::int16_t code) : code_(code) {}
    virtual ~AbstractMessage() = default;
    AbstractMessage(const AbstractMessage&) = delete;
    AbstractMessage& operator=(const AbstractMessage&) = delete;

    // Puts the frame (or its next piece) on `out`. True once the whole frame including the
    // trailer is written; false when the caller must call again. This whole-frame version
    // writes nothing until the frame fits the stream's free space.
    [[nodiscard]] virtual bool Write(io::OutputStream& out);
    virtual std::vector<std::uint8_t> GetPayload() const = 0;
    virtual std::uint16_t GetPayloadLength() const = 0;

    std::int16_t GetCode() const { return code_; }
    bool GetFlag() const { return flag_; }
    void SetFlag(bool flag) { flag_ = flag; }
    std::uint16_t CodeWord() const;
    // Header plus payload; the trailer is not counted.
    std::uint32_t GetFrameLength() const;
    // Header and payload as they go on the wire (no trailer).
    std::vector<std::uint8_t> Encode() const;

private:
    std::int16_t code_;
    bool flag_ = false;
};

}  // namespace quon::tms::messages
