#pragma once
// Every fixed number of the unit's serial protocol: command codes, frame sizes, the transmit
// window and all time-outs. Nothing here is configurable; the unit expects exactly these.

#include <chrono>
#include <cstdint>

namespace k64::protocol {

using std::chrono::milliseconds;

// Command codes (15 bits; bit 15 of the code word is a flag kept apart from the code).
inline constexpr std::int16_t kReqIdInfo = 10;
inline constexpr std::int16_t kIdInfo = 11;
inline constexpr std::int16_t kIdSet = 13;
inline constexpr std::int16_t kReqVersion = 14;
inline constexpr std::int16_t kRestart = 15;
inline constexpr std::int16_t kDiagnosticModeEnable = 100;
inline constexpr std::int16_t kText = 150;
inline constexpr std::int16_t kCommitUpdate = 190;
inline constexpr std::int16_t kCommitUpdateAck = 191;
inline constexpr std::int16_t kDataFragment = 192;
inline constexpr std::int16_t kDataFragmentAck = 193;
inline constexpr std::int16_t kBeginUpdateAck = 194;
inline constexpr std::int16_t kBeginFirmwareUpdate = 195;
inline constexpr std::int16_t kBeginWaveUpdate = 196;
inline constexpr std::int16_t kReqSettings = 200;
inline constexpr std::int16_t kSettings = 201;

inline constexpr std::uint16_t kCodeMask = 0x7FFF;
inline constexpr std::uint16_t kFlagBit = 0x8000;

// Frame pieces (layout documented in abstract_message.h).
inline constexpr int kHeaderSize = 4;
inline constexpr int kTrailerSize = 4;
inline constexpr int kFragmentSubHeaderSize = 6;  // offset (4) + count (2)
inline constexpr int kFragmentHeaderSize = kHeaderSize + kFragmentSubHeaderSize;
inline constexpr int kIdPayloadSize = 4;
inline constexpr int kCommitPayloadSize = 8;
inline constexpr int kTextLengthSize = 2;

// Reception: one buffer for a whole frame, so the payload may not exceed it less the framing.
inline constexpr int kReceiveBufferSize = 1024;
inline constexpr int kMaxReceivedPayload = kReceiveBufferSize - kHeaderSize - kTrailerSize;  // 1016

// A 16-bit length field bounds what one frame can carry.
inline constexpr int kMaxPayload = 0xFFFF;

// The largest block of one data fragment, for firmware and sound alike.
inline constexpr int kUpdateBlockSize = 1024;

// Never hand the driver more than this many bytes ahead of the line.
inline constexpr int kTransmitWindow = 64;

// Line settings: 9600 baud, 8 data bits, no parity, one stop bit, RTS on.
inline constexpr unsigned kBaudRate = 9600;
inline constexpr unsigned kByteSize = 8;
inline constexpr unsigned kParity = 0;    // none
inline constexpr unsigned kStopBits = 0;  // code 0 = one stop bit

// Port transfers: a read or write of n bytes gives up after kPortTimeoutBase + n * kPortTimeoutPerByte.
inline constexpr milliseconds kPortTimeoutBase{1000};
inline constexpr milliseconds kPortTimeoutPerByte{1};

// Reply waits of one exchange.
inline constexpr milliseconds kReplyTimeout{4000};
inline constexpr milliseconds kFirmwarePrepareTimeout{10000};
inline constexpr milliseconds kWavePrepareTimeout{20000};

// While the transmit window is full, wait this long before looking again (about two bytes'
// time at 9600 baud: short enough to keep the line busy, long enough not to burn the CPU).
inline constexpr milliseconds kSendWaitSlice{2};

}  // namespace k64::protocol
