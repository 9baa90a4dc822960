#include "device/messages.h"

#include "device/byte_buffer.h"

#include <algorithm>
#include <cstring>

namespace quon::tms::messages {

namespace {

constexpr std::uint8_t kTrailer[proto::kTrailerSize] = {};

int FreeSpaceOf(io::OutputStream& out)
{
    const int free = out.FreeSpace();
    return free < 0 ? 0 : free;
}

}  // namespace

std::vector<std::uint8_t> IdMessage::GetPayload() const
{
    std::vector<std::uint8_t> payload(proto::kIdPayloadSize);
    util::ByteBuffer(payload.data(), proto::kIdPayloadSize).WriteUInt32(id_);
    return payload;
}

TextMessage::TextMessage(std::string text) : AbstractMessage(proto::kText), text_(std::move(text))
{
    constexpr std::size_t kMaxText = proto::kMaxPayload - proto::kTextLengthSize;
    if (text_.size() > kMaxText)
        text_.resize(kMaxText);
}

std::uint16_t TextMessage::GetPayloadLength() const
{
    return static_cast<std::uint16_t>(text_.size() + proto::kTextLengthSize);
}

std::vector<std::uint8_t> TextMessage::GetPayload() const
{
    std::vector<std::uint8_t> payload(GetPayloadLength());
    util::ByteBuffer buffer(payload.data(), static_cast<int>(payload.size()));
    buffer.WriteUInt16(static_cast<std::uint16_t>(text_.size()));
    buffer.WriteBytes(text_.data(), static_cast<int>(text_.size()));
    return payload;
}

std::vector<std::uint8_t> CommitUpdateMessage::GetPayload() const
{
    std::vector<std::uint8_t> payload(proto::kCommitPayloadSize);
    util::ByteBuffer buffer(payload.data(), proto::kCommitPayloadSize);
    buffer.WriteUInt32(totalSize_);
    buffer.WriteUInt32(crc_);
    return payload;
}

bool PiecewiseFrame::Write(io::OutputStream& out, std::span<const std::uint8_t> header,
                           std::span<const std::uint8_t> body)
{
    if (state_ == 0) {
        if (FreeSpaceOf(out) < static_cast<int>(header.size()))
            return false;
        out.Write(header.data(), static_cast<int>(header.size()));
        cursor_ = 0;
        state_ = 1;
    }
    if (state_ == 1) {
        const std::size_t left = body.size() - cursor_;
        const std::size_t chunk = std::min(left, static_cast<std::size_t>(FreeSpaceOf(out)));
        if (chunk > 0) {
            const int written = out.Write(body.data() + cursor_, static_cast<int>(chunk));
            if (advance_ == Advance::kByAsked)
                cursor_ += chunk;
            else if (written > 0)
                cursor_ += static_cast<std::size_t>(written);
        }
        if (chunk < left)
            return false;
        state_ = 2;
    }
    if (FreeSpaceOf(out) < proto::kTrailerSize)
        return false;
    out.Write(kTrailer, proto::kTrailerSize);
    state_ = 0;
    return true;
}

// SettingsMessage

bool SettingsMessage::SetText(const std::string& text)
{
    const std::size_t end = std::min(text.find('\0'), text.size());
    if (end > kMaxText)
        return false;
    text_.assign(text, 0, end);
    frame_.Restart();
    return true;
}

std::uint16_t SettingsMessage::GetPayloadLength() const
{
    return static_cast<std::uint16_t>(text_.size() + 1);
}

std::vector<std::uint8_t> SettingsMessage::GetPayload() const
{
    // c_str() carries the terminating zero.
    const auto* p = reinterpret_cast<const std::uint8_t*>(text_.c_str());
    return {p, p + text_.size() + 1};
}

bool SettingsMessage::Write(io::OutputStream& out)
{
    std::uint8_t header[proto::kHeaderSize];
    util::ByteBuffer fields(header, proto::kHeaderSize);
    fields.WriteUInt16(CodeWord());
    fields.WriteUInt16(GetPayloadLength());
    // c_str() carries the terminating zero, which the body ends with.
    const auto* text = reinterpret_cast<const std::uint8_t*>(text_.c_str());
    return frame_.Write(out, header, {text, text_.size() + 1});
}

// DataFragmentMessage

bool DataFragmentMessage::SetData(const void* data, std::size_t count)
{
    if (count > kMaxData || (data == nullptr && count > 0))
        return false;
    const auto* p = static_cast<const std::uint8_t*>(data);
    data_.assign(p, p + count);
    frame_.Restart();
    return true;
}

std::uint16_t DataFragmentMessage::GetPayloadLength() const
{
    return static_cast<std::uint16_t>(data_.size() + proto::kFragmentSubHeaderSize);
}

std::vector<std::uint8_t> DataFragmentMessage::GetPayload() const
{
    std::vector<std::uint8_t> payload(GetPayloadLength());
    util::ByteBuffer buffer(payload.data(), static_cast<int>(payload.size()));
    buffer.WriteUInt32(offset_);
    buffer.WriteUInt16(GetCount());
    buffer.WriteBytes(data_.data(), static_cast<int>(data_.size()));
    return payload;
}

bool DataFragmentMessage::Write(io::OutputStream& out)
{
    // The offset and count go out with the frame's header, so only the data is cut in pieces.
    std::uint8_t header[proto::kFragmentHeaderSize];
    util::ByteBuffer fields(header, proto::kFragmentHeaderSize);
    fields.WriteUInt16(CodeWord());
    fields.WriteUInt16(GetPayloadLength());
    fields.WriteUInt32(offset_);
    fields.WriteUInt16(GetCount());
    return frame_.Write(out, header, data_);
}

// Factory

namespace {

template <typename Message>
std::unique_ptr<AbstractMessage> Make()
{
    return std::make_unique<Message>();
}

std::unique_ptr<AbstractMessage> Build(std::uint16_t code, const std::uint8_t* payload,
                                       std::uint16_t length)
{
    // The reader below never goes past `length`: every branch checks it first.
    util::ByteBuffer in(const_cast<std::uint8_t*>(payload), length);
    const bool present = payload != nullptr;
    switch (static_cast<std::int16_t>(code)) {
    case proto::kReqIdInfo: return Make<ReqIdInfoMessage>();
    case proto::kReqVersion: return Make<ReqVersionMessage>();
    case proto::kRestart: return Make<RestartMessage>();
    case proto::kDiagnosticModeEnable: return Make<DiagnosticModeEnableMessage>();
    case proto::kCommitUpdateAck: return Make<CommitUpdateAckMessage>();
    case proto::kDataFragmentAck: return Make<DataFragmentAckMessage>();
    case proto::kBeginUpdateAck: return Make<BeginUpdateAckMessage>();
    case proto::kBeginFirmwareUpdate: return Make<BeginFirmwareUpdateMessage>();
    case proto::kBeginWaveUpdate: return Make<BeginWaveUpdateMessage>();
    case proto::kReqSettings: return Make<ReqSettingsMessage>();
    case proto::kIdInfo:
        if (!present || length != proto::kIdPayloadSize)
            return nullptr;
        return std::make_unique<IdInfoMessage>(in.ReadUInt32());
    case proto::kIdSet:
        if (!present || length != proto::kIdPayloadSize)
            return nullptr;
        return std::make_unique<IdSetMessage>(in.ReadUInt32());
    case proto::kText: {
        if (!present || length < proto::kTextLengthSize)
            return nullptr;
        const std::uint16_t m = in.ReadUInt16();
        if (std::uint32_t{m} + proto::kTextLengthSize != length)
            return nullptr;
        return std::make_unique<TextMessage>(
            std::string(reinterpret_cast<const char*>(in.Position()), m));
    }
    case proto::kCommitUpdate: {
        if (!present || length != proto::kCommitPayloadSize)
            return nullptr;
        auto message = std::make_unique<CommitUpdateMessage>();
        message->SetTotalSize(in.ReadUInt32());
        message->SetCrc(in.ReadUInt32());
        return message;
    }
    case proto::kDataFragment: {
        if (!present || length < proto::kFragmentSubHeaderSize)
            return nullptr;
        const std::uint32_t offset = in.ReadUInt32();
        const std::uint16_t count = in.ReadUInt16();
        if (std::uint32_t{count} + proto::kFragmentSubHeaderSize != length)
            return nullptr;
        auto message = std::make_unique<DataFragmentMessage>();
        message->SetOffset(offset);
        if (!message->SetData(in.Position(), count))
            return nullptr;
        return message;
    }
    case proto::kSettings: {
        // The text ends at its zero byte, or at the end of the payload when the unit left the
        // zero out: never beyond what was received. A full payload without the zero holds a text
        // no frame can carry back, so it is refused rather than taken as empty settings.
        auto message = std::make_unique<SettingsMessage>();
        if (present &&
            !message->SetText(std::string(reinterpret_cast<const char*>(payload), length)))
            return nullptr;
        return message;
    }
    default: return nullptr;
    }
}

}  // namespace

std::unique_ptr<AbstractMessage> CreateMessage(std::uint16_t codeWord, const std::uint8_t* payload,
                                               std::uint16_t length)
{
    auto message = Build(static_cast<std::uint16_t>(codeWord & proto::kCodeMask), payload, length);
    if (message)
        message->SetFlag((codeWord & proto::kFlagBit) != 0);
    return message;
}

}  // namespace quon::tms::messages
