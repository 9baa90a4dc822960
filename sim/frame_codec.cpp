#include "sim/frame_codec.h"

#include <array>
#include <cstdio>

namespace k64::sim {
namespace {

constexpr std::array<std::uint32_t, 256> MakeCrcTable()
{
    std::array<std::uint32_t, 256> table{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t c = i;
        for (int k = 0; k < 8; ++k)
            c = (c & 1U) ? (c >> 1) ^ 0xEDB88320U : (c >> 1);
        table[i] = c;
    }
    return table;
}

constexpr auto kCrcTable = MakeCrcTable();
static_assert(kCrcTable[1] == 0x77073096U && kCrcTable[255] == 0x2D02EF8DU);

constexpr std::size_t kMaxFrame = kHeaderSize + kMaxRequestPayload + kTrailerSize;

// A header worth waiting for: a request the unit knows, with a payload length that request can
// have. Anything else is noise, so a stray byte cannot make the parser sit on the next real
// request while it waits for a payload that never comes.
bool PlausibleHeader(std::uint16_t code, std::size_t length)
{
    switch (code) {
    case kReqIdInfo:
    case kReqVersion:
    case kRestart:
    case kDiagnosticModeEnable:
    case kBeginFirmwareUpdate:
    case kBeginWaveUpdate:
    case kReqSettings: return length == 0;
    case kIdSet: return length == 4;
    case kCommitUpdate: return length == 8;
    case kDataFragment: return length >= kFragmentHeadSize && length <= kMaxRequestPayload;
    case kSettings: return length >= 1 && length <= kMaxRequestPayload;
    default: return false;
    }
}

}  // namespace

std::uint32_t Crc32Plain(std::span<const std::uint8_t> data)
{
    std::uint32_t crc = 0;
    for (std::uint8_t b : data)
        crc = kCrcTable[(b ^ crc) & 0xFFU] ^ (crc >> 8);
    return crc;
}

std::uint16_t ReadU16(const std::uint8_t* p)
{
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

std::uint32_t ReadU32(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | (static_cast<std::uint32_t>(p[1]) << 8) |
           (static_cast<std::uint32_t>(p[2]) << 16) | (static_cast<std::uint32_t>(p[3]) << 24);
}

void AppendU16(std::vector<std::uint8_t>& out, std::uint16_t v)
{
    out.push_back(static_cast<std::uint8_t>(v));
    out.push_back(static_cast<std::uint8_t>(v >> 8));
}

void AppendU32(std::vector<std::uint8_t>& out, std::uint32_t v)
{
    for (int shift = 0; shift < 32; shift += 8)
        out.push_back(static_cast<std::uint8_t>(v >> shift));
}

std::vector<std::uint8_t> TextPayload(const std::string& text, bool honestLength)
{
    std::vector<std::uint8_t> payload;
    const std::size_t m = text.size();
    AppendU16(payload, static_cast<std::uint16_t>(honestLength ? m : m + 1));
    payload.insert(payload.end(), text.begin(), text.end());
    return payload;
}

std::vector<std::uint8_t> U32Payload(std::uint32_t v)
{
    std::vector<std::uint8_t> payload;
    AppendU32(payload, v);
    return payload;
}

std::vector<std::uint8_t> EncodeFrame(std::uint16_t code, std::span<const std::uint8_t> payload,
                                      bool flag)
{
    std::vector<std::uint8_t> out;
    out.reserve(kHeaderSize + payload.size() + kTrailerSize);
    AppendU16(out, static_cast<std::uint16_t>((code & kCodeMask) | (flag ? kFlagBit : 0)));
    AppendU16(out, static_cast<std::uint16_t>(payload.size()));
    out.insert(out.end(), payload.begin(), payload.end());
    out.insert(out.end(), kTrailerSize, 0);
    return out;
}

void FrameParser::Feed(std::span<const std::uint8_t> bytes, std::vector<Frame>& frames)
{
    // Take the input in slices so pending_ never grows beyond one maximal frame plus a slice.
    while (!bytes.empty()) {
        const std::size_t room = kMaxFrame;
        const std::size_t take = bytes.size() < room ? bytes.size() : room;
        pending_.insert(pending_.end(), bytes.begin(), bytes.begin() + static_cast<long>(take));
        bytes = bytes.subspan(take);
        while (TakeOne(frames)) {
        }
        pending_.erase(pending_.begin(), pending_.begin() + static_cast<long>(start_));
        start_ = 0;
    }
}

bool FrameParser::TakeOne(std::vector<Frame>& frames)
{
    const std::size_t available = pending_.size() - start_;
    if (available < kHeaderSize)
        return false;
    const std::uint8_t* p = pending_.data() + start_;
    const std::uint16_t word = ReadU16(p);
    const std::size_t length = ReadU16(p + 2);
    if (!PlausibleHeader(static_cast<std::uint16_t>(word & kCodeMask), length)) {
        ++start_;
        ++discarded_;
        return true;
    }
    const std::size_t whole = kHeaderSize + length + kTrailerSize;
    if (available < whole)
        return false;
    const std::uint8_t* trailer = p + kHeaderSize + length;
    if (trailer[0] != 0 || trailer[1] != 0 || trailer[2] != 0 || trailer[3] != 0) {
        ++start_;
        ++discarded_;
        return true;
    }
    Frame frame;
    frame.code = static_cast<std::uint16_t>(word & kCodeMask);
    frame.flag = (word & kFlagBit) != 0;
    frame.payload.assign(p + kHeaderSize, p + kHeaderSize + length);
    frames.push_back(std::move(frame));
    start_ += whole;
    return true;
}

void FrameParser::Reset()
{
    discarded_ += pending_.size();
    pending_.clear();
    start_ = 0;
}

std::string HexBytes(std::span<const std::uint8_t> bytes)
{
    std::string out;
    out.reserve(bytes.size() * 3);
    char cell[4];
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(cell, sizeof cell, i == 0 ? "%02X" : " %02X", bytes[i]);
        out += cell;
    }
    return out;
}

}  // namespace k64::sim
