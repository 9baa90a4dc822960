#pragma once
// The sixteen messages of the unit's protocol and the factory that makes one from a received
// frame. Payloads (offsets from the start of the payload, little-endian):
//
//   code  class                       payload
//   10    ReqIdInfoMessage            -
//   11    IdInfoMessage               0: id (4)
//   13    IdSetMessage                0: id (4)
//   14    ReqVersionMessage           -
//   15    RestartMessage              -
//   100   DiagnosticModeEnableMessage -
//   150   TextMessage                 0: text length m (2); 2: m text bytes, no terminator
//   190   CommitUpdateMessage         0: total size (4); 4: CRC (4)
//   191   CommitUpdateAckMessage      -
//   192   DataFragmentMessage         0: offset (4); 4: count c (2); 6: c data bytes
//   193   DataFragmentAckMessage      -
//   194   BeginUpdateAckMessage       -
//   195   BeginFirmwareUpdateMessage  -
//   196   BeginWaveUpdateMessage      -
//   200   ReqSettingsMessage          -
//   201   SettingsMessage             settings text followed by one zero byte
//
// Messages made from a received frame hold their own copies of its bytes, so they stay valid
// after the receive buffer is reused.

#include "device/abstract_message.h"
#include "device/protocol.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <vector>

namespace quon::tms::messages {

namespace proto = k64::protocol;

class AbstractSimpleMessage : public AbstractMessage {
public:
    explicit AbstractSimpleMessage(std::int16_t code) : AbstractMessage(code) {}
    std::vector<std::uint8_t> GetPayload() const override { return {}; }
    std::uint16_t GetPayloadLength() const override { return 0; }
};

// The ten payload-less messages differ only in their code.
template <std::int16_t Code>
class SimpleMessage final : public AbstractSimpleMessage {
public:
    static constexpr std::int16_t kCode = Code;
    SimpleMessage() : AbstractSimpleMessage(Code) {}
};

using ReqIdInfoMessage = SimpleMessage<proto::kReqIdInfo>;
using ReqVersionMessage = SimpleMessage<proto::kReqVersion>;
using RestartMessage = SimpleMessage<proto::kRestart>;
using DiagnosticModeEnableMessage = SimpleMessage<proto::kDiagnosticModeEnable>;
using CommitUpdateAckMessage = SimpleMessage<proto::kCommitUpdateAck>;
using DataFragmentAckMessage = SimpleMessage<proto::kDataFragmentAck>;
using BeginUpdateAckMessage = SimpleMessage<proto::kBeginUpdateAck>;
using BeginFirmwareUpdateMessage = SimpleMessage<proto::kBeginFirmwareUpdate>;
using BeginWaveUpdateMessage = SimpleMessage<proto::kBeginWaveUpdate>;
using ReqSettingsMessage = SimpleMessage<proto::kReqSettings>;

// Codes 11 and 13 carry the same field.
class IdMessage : public AbstractMessage {
public:
    IdMessage(std::int16_t code, std::uint32_t id) : AbstractMessage(code), id_(id) {}
    std::uint32_t GetId() const { return id_; }
    std::vector<std::uint8_t> GetPayload() const override;
    std::uint16_t GetPayloadLength() const override { return proto::kIdPayloadSize; }

private:
    std::uint32_t id_;
};

class IdInfoMessage final : public IdMessage {
public:
    explicit IdInfoMessage(std::uint32_t id) : IdMessage(proto::kIdInfo, id) {}
};

class IdSetMessage final : public IdMessage {
public:
    explicit IdSetMessage(std::uint32_t id) : IdMessage(proto::kIdSet, id) {}
};

class TextMessage final : public AbstractMessage {
public:
    // Longer texts are cut to what the 16-bit length fields can describe.
    explicit TextMessage(std::string text);
    const std::string& GetText() const { return text_; }
    std::vector<std::uint8_t> GetPayload() const override;
    std::uint16_t GetPayloadLength() const override;

private:
    std::string text_;
};

class CommitUpdateMessage final : public AbstractMessage {
public:
    CommitUpdateMessage() : AbstractMessage(proto::kCommitUpdate) {}
    void SetTotalSize(std::uint32_t size) { totalSize_ = size; }
    void SetCrc(std::uint32_t crc) { crc_ = crc; }
    std::uint32_t GetTotalSize() const { return totalSize_; }
    std::uint32_t GetCrc() const { return crc_; }
    std::vector<std::uint8_t> GetPayload() const override;
    std::uint16_t GetPayloadLength() const override { return proto::kCommitPayloadSize; }

private:
    std::uint32_t totalSize_ = 0;
    std::uint32_t crc_ = 0;
};

// A frame longer than one transmit window goes out over several Write() calls: its header once it
// fits whole, then as much of the body as there is room for, then the trailer once it fits whole.
class PiecewiseFrame {
public:
    // How the body's cursor moves after a piece: by what the stream reports written, or by what
    // was asked for whatever the stream reports (a failed stream is then caught by the sender).
    enum class Advance { kByWritten, kByAsked };

    explicit PiecewiseFrame(Advance advance) : advance_(advance) {}
    // True once the trailer is out; the next call starts the frame again from its header.
    [[nodiscard]] bool Write(io::OutputStream& out, std::span<const std::uint8_t> header,
                             std::span<const std::uint8_t> body);
    void Restart() { *this = PiecewiseFrame(advance_); }

private:
    Advance advance_;
    int state_ = 0;           // 0 header, 1 body, 2 trailer
    std::size_t cursor_ = 0;  // body bytes sent
};

// Longer than one transmit window, so it is written in pieces: each Write() puts what fits.
class SettingsMessage final : public AbstractMessage {
public:
    // The longest text whose payload (text and terminator) a frame can describe.
    static constexpr std::size_t kMaxText = proto::kMaxPayload - 1;

    SettingsMessage() : AbstractMessage(proto::kSettings) {}
    // The text travels zero-terminated, so it ends at its first zero byte. False (and nothing
    // changed) when it is too long for one frame.
    [[nodiscard]] bool SetText(const std::string& text);
    const std::string& GetText() const { return text_; }
    [[nodiscard]] bool Write(io::OutputStream& out) override;
    std::vector<std::uint8_t> GetPayload() const override;
    std::uint16_t GetPayloadLength() const override;

private:
    std::string text_;
    PiecewiseFrame frame_{PiecewiseFrame::Advance::kByWritten};
};

class DataFragmentMessage final : public AbstractMessage {
public:
    static constexpr std::size_t kMaxData = proto::kMaxPayload - proto::kFragmentSubHeaderSize;

    DataFragmentMessage() : AbstractMessage(proto::kDataFragment) {}
    // Copies the block; the count is its size. False (and nothing changed) when it is too long.
    [[nodiscard]] bool SetData(const void* data, std::size_t count);
    void SetOffset(std::uint32_t offset) { offset_ = offset; }
    std::uint32_t GetOffset() const { return offset_; }
    std::uint16_t GetCount() const { return static_cast<std::uint16_t>(data_.size()); }
    const std::vector<std::uint8_t>& GetData() const { return data_; }
    [[nodiscard]] bool Write(io::OutputStream& out) override;
    std::vector<std::uint8_t> GetPayload() const override;
    std::uint16_t GetPayloadLength() const override;

private:
    std::uint32_t offset_ = 0;
    std::vector<std::uint8_t> data_;
    PiecewiseFrame frame_{PiecewiseFrame::Advance::kByAsked};
};

// Builds the message of a received frame: null for an unknown code or a payload that does not
// fit its code's layout. Bit 15 of `codeWord` becomes the message's flag.
std::unique_ptr<AbstractMessage> CreateMessage(std::uint16_t codeWord, const std::uint8_t* payload,
                                               std::uint16_t length);

}  // namespace quon::tms::messages
