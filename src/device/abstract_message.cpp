#include "device/abstract_message.h"

#include "device/byte_buffer.h"
#include "device/protocol.h"

namespace quon::tms::messages {

namespace proto = k64::protocol;

std::uint16_t AbstractMessage::CodeWord() const
{
    const auto code = static_cast<std::uint16_t>(code_ & proto::kCodeMask);
    return flag_ ? static_cast<std::uint16_t>(code | proto::kFlagBit) : code;
}

std::uint32_t AbstractMessage::GetFrameLength() const
{
    return std::uint32_t{GetPayloadLength()} + proto::kHeaderSize;
}

std::vector<std::uint8_t> AbstractMessage::Encode() const
{
    const std::vector<std::uint8_t> payload = GetPayload();
    std::vector<std::uint8_t> frame(GetFrameLength());
    util::ByteBuffer buffer(frame.data(), static_cast<int>(frame.size()));
    buffer.WriteUInt16(CodeWord());
    buffer.WriteUInt16(GetPayloadLength());
    buffer.WriteBytes(payload.data(), static_cast<int>(payload.size()));
    return frame;
}

bool AbstractMessage::Write(io::OutputStream& out)
{
    const std::uint32_t length = GetFrameLength();
    const int free = out.FreeSpace();
    if (free < 0 || static_cast<std::uint32_t>(free) < length + proto::kTrailerSize)
        return false;
    const std::vector<std::uint8_t> frame = Encode();
    static constexpr std::uint8_t kTrailer[proto::kTrailerSize] = {};
    // The stream's results are the sender's business: it watches the stream for errors.
    out.Write(frame.data(), static_cast<int>(frame.size()));
    out.Write(kTrailer, proto::kTrailerSize);
    return true;
}

}  // namespace quon::tms::messages
