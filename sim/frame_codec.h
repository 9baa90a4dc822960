// Frames as the unit sees them, its CRC routine, and the little-endian helpers both need.
#pragma once

#include "sim/protocol.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace k64::sim {

// Reflected CRC-32 (polynomial 0xEDB88320) started at 0 and without the final inversion: the
// checksum the tool puts into a firmware commit and the sound head carries.
std::uint32_t Crc32Plain(std::span<const std::uint8_t> data);

std::uint16_t ReadU16(const std::uint8_t* p);
std::uint32_t ReadU32(const std::uint8_t* p);
void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t v);
void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t v);

// A text answer: its length as u16, then the text. A dishonest length counts one byte more than
// the text has, as a faulty unit would send.
std::vector<std::uint8_t> TextPayload(const std::string& text, bool honestLength = true);
std::vector<std::uint8_t> U32Payload(std::uint32_t v);

struct Frame {
    std::uint16_t code = 0;  // 15-bit command code
    bool flag = false;       // bit 15 of the code word
    std::vector<std::uint8_t> payload;
};

// Whole frame: header, payload, four zero bytes. The caller keeps payloads below 65536 bytes.
std::vector<std::uint8_t> EncodeFrame(std::uint16_t code, std::span<const std::uint8_t> payload,
                                      bool flag = false);

// Cuts request frames out of a byte stream that may arrive in any pieces. A header with a code
// the unit does not take or announcing more than kMaxRequestPayload bytes, or a frame whose
// trailer is not four zero bytes, is not a frame: the parser drops its first byte and looks for
// a header again from the next one, so it never holds more than one maximal frame and finds its
// way back after noise.
class FrameParser {
public:
    // Appends every frame completed by `bytes` to `frames`.
    void Feed(std::span<const std::uint8_t> bytes, std::vector<Frame>& frames);
    // Forgets a partly received frame (the line was closed).
    void Reset();
    std::size_t Pending() const { return pending_.size(); }
    // Bytes thrown away while looking for a frame, since construction.
    std::uint64_t Discarded() const { return discarded_; }

private:
    // One attempt at the front of pending_: true when it consumed bytes (frame or noise).
    bool TakeOne(std::vector<Frame>& frames);

    std::vector<std::uint8_t> pending_;
    std::size_t start_ = 0;  // first unconsumed byte in pending_
    std::uint64_t discarded_ = 0;
};

std::string HexBytes(std::span<const std::uint8_t> bytes);

}  // namespace k64::sim
