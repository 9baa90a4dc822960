// The unit's side of the wire: command codes, frame geometry and the limits the simulated unit
// enforces on what it receives. Kept apart from src/device on purpose, so that a codec fault in
// the tool cannot be masked by the same fault here.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace k64::sim {

// Command codes (15 bits; bit 15 of the code word is a flag the unit ignores).
inline constexpr std::uint16_t kReqIdInfo = 10;              // -> kIdInfo
inline constexpr std::uint16_t kIdInfo = 11;                 // u32 id
inline constexpr std::uint16_t kIdSet = 13;                  // u32 id -> kIdInfo
inline constexpr std::uint16_t kReqVersion = 14;             // -> kText
inline constexpr std::uint16_t kRestart = 15;                // no reply
inline constexpr std::uint16_t kDiagnosticModeEnable = 100;  // no reply; text stream follows
inline constexpr std::uint16_t kText = 150;                  // u16 m, m bytes
inline constexpr std::uint16_t kCommitUpdate = 190;  // u32 total size, u32 crc -> kCommitUpdateAck
inline constexpr std::uint16_t kCommitUpdateAck = 191;
inline constexpr std::uint16_t kDataFragment =
    192;  // u32 offset, u16 count, data -> kDataFragmentAck
inline constexpr std::uint16_t kDataFragmentAck = 193;
inline constexpr std::uint16_t kBeginUpdateAck = 194;
inline constexpr std::uint16_t kBeginFirmwareUpdate = 195;  // -> kBeginUpdateAck
inline constexpr std::uint16_t kBeginWaveUpdate = 196;      // -> kBeginUpdateAck
inline constexpr std::uint16_t kReqSettings = 200;          // -> kSettings
inline constexpr std::uint16_t kSettings = 201;             // text + zero; both directions

inline constexpr std::uint16_t kCodeMask = 0x7FFF;
inline constexpr std::uint16_t kFlagBit = 0x8000;
inline constexpr std::uint16_t kMaxCode = 0x7FFF;

// Frame: code word (u16), payload length n (u16), n payload bytes, four zero bytes.
inline constexpr std::size_t kHeaderSize = 4;
inline constexpr std::size_t kTrailerSize = 4;
// Largest request payload the unit takes. The tool sends at most 1030 (a 1024-byte data block
// with its 6-byte sub-header); anything far beyond that is line noise, not a request.
inline constexpr std::size_t kMaxRequestPayload = 4096;
// The tool receives at most 1016 payload bytes, so a settings text (plus its zero) must fit.
inline constexpr std::size_t kMaxToolPayload = 1016;
inline constexpr std::size_t kMaxSettingsText = kMaxToolPayload - 1;
inline constexpr std::size_t kFragmentHeadSize = 6;

// Transfers: the whole received buffer is bounded, whatever offsets a sender announces.
inline constexpr std::size_t kMaxTransferSize = 2 * 1024 * 1024;
inline constexpr std::size_t kUpdateHeadSize = 8;  // 8 x 0xFF (firmware) or the sound head words
inline constexpr std::uint8_t kFirmwareHeadByte = 0xFF;

// Version record inside a firmware image and in the unit's version answer.
inline constexpr std::size_t kVersionRecordOffset = 256;
inline constexpr std::size_t kTypeField = 48;
inline constexpr std::size_t kVersionField = 16;
inline constexpr std::size_t kBuildDateField = 32;
inline constexpr std::size_t kVersionRecordSize = kTypeField + kVersionField + kBuildDateField;

// Pace of the simulated unit.
inline constexpr std::chrono::milliseconds kDefaultPrepareDelay{300};
inline constexpr std::chrono::milliseconds kDefaultDiagnosticInterval{250};

}  // namespace k64::sim
