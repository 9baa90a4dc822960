#include "sim/unit_model.h"

#include <algorithm>
#include <cstring>
#include <utility>

namespace k64::sim {
namespace {

std::string BoundedText(const std::uint8_t* field, std::size_t size)
{
    // A text without its zero is cut one byte short of the field, where the zero belongs.
    const std::size_t limit = size - 1;
    std::size_t n = 0;
    while (n < limit && field[n] != 0)
        ++n;
    return std::string(reinterpret_cast<const char*>(field), n);
}

// No reply: the unit ignores what it cannot take, the tool's wait runs out.
Outcome Refuse(std::string note)
{
    Outcome out;
    out.note = std::move(note);
    return out;
}

// The settings text without the lines of `keys`: what firmware that lacks those settings keeps.
std::string WithoutKeys(const std::string& text, const std::set<std::string>& keys)
{
    std::string kept;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\n', start), text.size());
        const std::string line = text.substr(start, end - start);
        if (!keys.count(line.substr(0, line.find('='))))
            kept += line + (end < text.size() ? "\n" : "");
        start = end + 1;
    }
    return kept;
}

std::string CodeNote(const char* what, std::uint16_t code)
{
    return std::string(what) + " (code " + std::to_string(code) + ")";
}

}  // namespace

std::string VersionRecord::Text() const { return type + "\n" + version + "\n" + buildDate; }

std::vector<std::uint8_t> VersionRecord::Encode() const
{
    std::vector<std::uint8_t> record(kVersionRecordSize, 0);
    auto put = [&](const std::string& text, std::size_t offset, std::size_t field) {
        std::memcpy(record.data() + offset, text.data(), std::min(text.size(), field - 1));
    };
    put(type, 0, kTypeField);
    put(version, kTypeField, kVersionField);
    put(buildDate, kTypeField + kVersionField, kBuildDateField);
    return record;
}

VersionRecord VersionRecord::Decode(const std::uint8_t* record)
{
    return {BoundedText(record, kTypeField), BoundedText(record + kTypeField, kVersionField),
            BoundedText(record + kTypeField + kVersionField, kBuildDateField)};
}

Unit::Unit(UnitState initial, Faults faults, std::chrono::milliseconds prepareDelay)
    : state_(std::move(initial)), faults_(std::move(faults)), prepareDelay_(prepareDelay)
{
}

Outcome Unit::Answer(std::uint16_t request, std::uint16_t replyCode,
                     std::vector<std::uint8_t> payload, std::chrono::milliseconds baseDelay)
{
    Outcome out;
    if (faults_.noReply.contains(request)) {
        out.note = "reply withheld on request";
        return out;
    }
    if (faults_.wrongReply.contains(request)) {
        // A well-formed answer, only not the one the request asks for.
        if (replyCode == kIdInfo) {
            replyCode = kText;
            payload = TextPayload(state_.firmware.Text(), true);
        } else {
            replyCode = kIdInfo;
            payload = U32Payload(state_.id);
        }
        out.note = "wrong reply on request";
    } else if (faults_.malformedReply.contains(request)) {
        switch (replyCode) {
        case kIdInfo: payload.push_back(0); break;  // five bytes instead of four
        case kText:  // length word one more than the text that follows
            payload = TextPayload(state_.firmware.Text(), false);
            break;
        case kSettings:  // the text without its terminating zero
            if (!payload.empty())
                payload.pop_back();
            break;
        default:  // acknowledgements carry no payload; give them stray bytes
            payload = {0xEE, 0xEE, 0xEE};
            break;
        }
        out.note = "malformed reply on request";
    }
    out.reply = EncodeFrame(replyCode, payload);
    out.delay = baseDelay;
    if (auto it = faults_.delay.find(request); it != faults_.delay.end())
        out.delay += it->second;
    return out;
}

Outcome Unit::Handle(const Frame& request)
{
    switch (request.code) {
    case kReqIdInfo: return Answer(kReqIdInfo, kIdInfo, U32Payload(state_.id));
    case kIdSet: {
        if (request.payload.size() != 4)
            return Refuse("id set with a payload of the wrong size");
        const std::uint32_t id = ReadU32(request.payload.data());
        const bool changed = id != state_.id;
        state_.id = id;
        Outcome out = Answer(kIdSet, kIdInfo, U32Payload(state_.id));
        out.stateChanged = changed;
        return out;
    }
    case kReqVersion: return Answer(kReqVersion, kText, TextPayload(state_.firmware.Text(), true));
    case kRestart: {
        Outcome out;
        out.stopDiagnostics = true;
        out.note = transfer_ == TransferKind::kNone ? "restart" : "restart, transfer dropped";
        ForgetTransfer();
        return out;
    }
    case kDiagnosticModeEnable: {
        Outcome out;
        out.startDiagnostics = true;
        out.note = "diagnostic mode";
        return out;
    }
    case kReqSettings: {
        std::vector<std::uint8_t> payload(state_.settings.begin(), state_.settings.end());
        payload.push_back(0);
        return Answer(kReqSettings, kSettings, std::move(payload));
    }
    case kSettings: {
        const auto& p = request.payload;
        const auto end = std::find(p.begin(), p.end(), std::uint8_t{0});
        std::string text(p.begin(), end);
        if (text.size() > kMaxSettingsText) {
            return Refuse("settings text of " + std::to_string(text.size()) +
                          " bytes refused: it could not be read back");
        }
        if (!faults_.dropSettings.empty())
            text = WithoutKeys(text, faults_.dropSettings);
        const bool changed = text != state_.settings;
        state_.settings = std::move(text);
        std::vector<std::uint8_t> payload(state_.settings.begin(), state_.settings.end());
        payload.push_back(0);
        Outcome out = Answer(kSettings, kSettings, std::move(payload));
        out.stateChanged = changed;
        return out;
    }
    case kBeginFirmwareUpdate:
    case kBeginWaveUpdate: {
        ForgetTransfer();
        const bool sound = request.code == kBeginWaveUpdate;
        transfer_ = sound ? TransferKind::kSound : TransferKind::kFirmware;
        Outcome out = Answer(request.code, kBeginUpdateAck, {}, prepareDelay_);
        if (sound && !state_.sound.empty()) {
            // Preparing the sound storage erases what was there.
            state_.sound.clear();
            out.stateChanged = true;
        }
        if (out.note.empty())
            out.note = sound ? "sound transfer prepared" : "firmware transfer prepared";
        return out;
    }
    case kDataFragment: return HandleFragment(request);
    case kCommitUpdate: return HandleCommit(request);
    default: return Refuse(CodeNote("ignored", request.code));
    }
}

Outcome Unit::HandleFragment(const Frame& request)
{
    const auto& p = request.payload;
    if (p.size() < kFragmentHeadSize)
        return Refuse("fragment shorter than its head");
    const std::uint32_t offset = ReadU32(p.data());
    const std::uint16_t count = ReadU16(p.data() + 4);
    if (p.size() != kFragmentHeadSize + count)
        return Refuse("fragment count does not match its length");
    const std::uint64_t number = ++fragmentsSeen_;
    if (transfer_ == TransferKind::kNone)
        return Refuse("fragment without a prepared transfer");
    const std::uint64_t end = std::uint64_t{offset} + count;
    if (end > kMaxTransferSize)
        return Refuse("fragment beyond the transfer buffer");
    if (end > received_.size()) {
        received_.resize(static_cast<std::size_t>(end), 0);
        filled_.resize(static_cast<std::size_t>(end), false);
    }
    std::copy(p.begin() + kFragmentHeadSize, p.end(), received_.begin() + offset);
    std::fill(filled_.begin() + offset, filled_.begin() + static_cast<long>(end), true);
    if (faults_.dropAck.contains(number)) {
        return Refuse("fragment " + std::to_string(number) + " stored, ack dropped on request");
    }
    return Answer(kDataFragment, kDataFragmentAck, {});
}

std::string Unit::CheckCommit(std::uint32_t size, std::uint32_t crc) const
{
    if (std::find(filled_.begin(), filled_.end(), false) != filled_.end()) {
        return "the transfer has gaps";
    }
    if (received_.size() < kUpdateHeadSize)
        return "less than a head received";
    const std::span<const std::uint8_t> body(received_.data() + kUpdateHeadSize,
                                             received_.size() - kUpdateHeadSize);
    if (body.size() != size) {
        return "size " + std::to_string(size) + " but " + std::to_string(body.size()) +
               " bytes received";
    }
    if (transfer_ == TransferKind::kFirmware) {
        if (std::any_of(received_.begin(), received_.begin() + kUpdateHeadSize,
                        [](std::uint8_t b) { return b != kFirmwareHeadByte; })) {
            return "firmware head is not eight 0xFF bytes";
        }
        if (body.size() < kVersionRecordOffset + kVersionRecordSize)
            return "image too short for its version record";
    } else {
        if (ReadU32(received_.data()) != size || ReadU32(received_.data() + 4) != crc) {
            return "commit does not match the sound head";
        }
    }
    if (Crc32Plain(body) != crc)
        return "CRC mismatch";
    return {};
}

Outcome Unit::HandleCommit(const Frame& request)
{
    if (request.payload.size() != 8)
        return Refuse("commit with a payload of the wrong size");
    const std::uint32_t size = ReadU32(request.payload.data());
    const std::uint32_t crc = ReadU32(request.payload.data() + 4);
    std::string why;
    if (transfer_ == TransferKind::kNone)
        why = "no transfer prepared";
    else if (faults_.rejectCommit)
        why = "rejected on request";
    else
        why = CheckCommit(size, crc);
    if (!why.empty()) {
        ForgetTransfer();
        return Refuse("commit refused: " + why);
    }
    Outcome out;
    if (transfer_ == TransferKind::kFirmware) {
        state_.firmware =
            VersionRecord::Decode(received_.data() + kUpdateHeadSize + kVersionRecordOffset);
        state_.firmwareSize = size;
        state_.firmwareCrc = crc;
        if (faults_.resetSettingsOnCommit)
            state_.settings.clear();
        out = Answer(kCommitUpdate, kCommitUpdateAck, {});
        out.note +=
            (out.note.empty() ? "" : "; ") + std::string("firmware now ") + state_.firmware.version;
    } else {
        state_.sound = std::move(received_);
        out = Answer(kCommitUpdate, kCommitUpdateAck, {});
        out.note += (out.note.empty() ? "" : "; ") + std::string("sound data stored");
    }
    out.stateChanged = true;
    ForgetTransfer();
    return out;
}

void Unit::ForgetTransfer()
{
    transfer_ = TransferKind::kNone;
    received_.clear();
    received_.shrink_to_fit();
    filled_.clear();
    filled_.shrink_to_fit();
}

}  // namespace k64::sim
