// The simulated unit's decisions, without a terminal.
#include "sim/unit_model.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace k64::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

UnitState Factory()
{
    UnitState s;
    s.id = 7;
    s.firmware = {"K64_r2", "000.013", "Sep 01 2016"};
    return s;
}

Frame Request(std::uint16_t code, Bytes payload = {})
{
    return Frame{code, false, std::move(payload)};
}

Frame FragmentAt(std::uint32_t offset, const Bytes& data)
{
    Bytes p;
    AppendU32(p, offset);
    AppendU16(p, static_cast<std::uint16_t>(data.size()));
    p.insert(p.end(), data.begin(), data.end());
    return Request(kDataFragment, p);
}

Frame Commit(std::uint32_t size, std::uint32_t crc)
{
    Bytes p;
    AppendU32(p, size);
    AppendU32(p, crc);
    return Request(kCommitUpdate, p);
}

Bytes Image(std::size_t size, const std::string& version)
{
    Bytes image(size, 0x5A);
    const VersionRecord record{"K64_r9", version, "Jan 02 2030"};
    const Bytes r = record.Encode();
    std::copy(r.begin(), r.end(), image.begin() + kVersionRecordOffset);
    return image;
}

// Sends `buffer` in 1024-byte blocks, skipping block `skip` (none when out of range).
void SendAll(Unit& unit, const Bytes& buffer, std::size_t skip = SIZE_MAX)
{
    for (std::size_t at = 0, block = 0; at < buffer.size(); at += 1024, ++block) {
        if (block == skip)
            continue;
        const Bytes part(buffer.begin() + at, buffer.begin() + std::min(buffer.size(), at + 1024));
        ASSERT_FALSE(unit.Handle(FragmentAt(static_cast<std::uint32_t>(at), part)).reply.empty());
    }
}

TEST(SimUnitFirmware, CommitChecks)
{
    const Bytes image = Image(3000, "000.030");
    const std::uint32_t size = static_cast<std::uint32_t>(image.size());
    const std::uint32_t crc = Crc32Plain(image);
    Bytes good(8, 0xFF);
    good.insert(good.end(), image.begin(), image.end());
    Bytes bad_head = good;
    bad_head[7] = 0x00;
    const Bytes small_image = Image(352, "000.031");
    Bytes too_short(8, 0xFF);
    too_short.insert(too_short.end(), small_image.begin(), small_image.end() - 1);

    const struct {
        const char* name;
        Bytes buffer;
        std::size_t skip;
        std::uint32_t size, crc;
        bool accepted;
    } cases[] = {
        {"whole image", good, SIZE_MAX, size, crc, true},
        {"block missing", good, 1, size, crc, false},
        {"head not all 0xFF", bad_head, SIZE_MAX, size, crc, false},
        {"size with head", good, SIZE_MAX, size + 8, crc, false},
        {"wrong crc", good, SIZE_MAX, size, crc + 1, false},
        {"no room for the version record", too_short, SIZE_MAX, 351,
         Crc32Plain(Bytes(small_image.begin(), small_image.end() - 1)), false},
    };
    for (const auto& c : cases) {
        Unit unit(Factory(), {}, {});
        ASSERT_FALSE(unit.Handle(Request(kBeginFirmwareUpdate)).reply.empty());
        SendAll(unit, c.buffer, c.skip);
        const Outcome out = unit.Handle(Commit(c.size, c.crc));
        EXPECT_EQ(!out.reply.empty(), c.accepted) << c.name << ": " << out.note;
        EXPECT_EQ(unit.State().firmware.version, c.accepted ? "000.030" : "000.013") << c.name;
        EXPECT_EQ(unit.Transfer(), TransferKind::kNone) << c.name;
    }
}

TEST(SimUnitFirmware, RecordTextsAreBoundedToTheirFields)
{
    Bytes record(kVersionRecordSize, 'x');  // no zero anywhere
    const VersionRecord r = VersionRecord::Decode(record.data());
    EXPECT_EQ(r.type.size(), 47u);
    EXPECT_EQ(r.version.size(), 15u);
    EXPECT_EQ(r.buildDate.size(), 31u);
}

TEST(SimUnitSound, PrepareErasesAndCommitStoresTheContainer)
{
    UnitState s = Factory();
    s.sound = {1, 2, 3};
    Unit unit(s, {}, {});
    const Outcome prepared = unit.Handle(Request(kBeginWaveUpdate));
    EXPECT_TRUE(prepared.stateChanged);
    EXPECT_TRUE(unit.State().sound.empty());
    const Bytes data(1500, 0x80);
    Bytes container;
    AppendU32(container, static_cast<std::uint32_t>(data.size()));
    AppendU32(container, Crc32Plain(data));
    container.insert(container.end(), data.begin(), data.end());
    SendAll(unit, container);
    EXPECT_FALSE(unit.Handle(Commit(static_cast<std::uint32_t>(data.size()), Crc32Plain(data)))
                     .reply.empty());
    EXPECT_EQ(unit.State().sound, container);
}

TEST(SimUnitSettings, TextMustFitTheToolsReplyLimit)
{
    const struct {
        std::size_t length;
        bool stored;
    } cases[] = {{0, true}, {kMaxSettingsText, true}, {kMaxSettingsText + 1, false}};
    for (const auto& c : cases) {
        Unit unit(Factory(), {}, {});
        Bytes payload(c.length, 'k');
        payload.push_back(0);
        const Outcome out = unit.Handle(Request(kSettings, payload));
        EXPECT_EQ(!out.reply.empty(), c.stored) << c.length;
        EXPECT_EQ(unit.State().settings.size(), c.stored ? c.length : 0u) << c.length;
    }
}

TEST(SimUnitFaults, ReplyShapes)
{
    const struct {
        const char* name;
        Faults faults;
        std::uint16_t request;
        Bytes reply_head;  // code word and payload length of the reply; empty = no reply
    } cases[] = {
        {"none", {}, kReqIdInfo, {0x0B, 0x00, 0x04, 0x00}},
        {"no reply", {.noReply = {kReqIdInfo}}, kReqIdInfo, {}},
        {"wrong reply to id", {.wrongReply = {kReqIdInfo}}, kReqIdInfo, {0x96, 0x00, 28, 0x00}},
        {"wrong reply to settings",
         {.wrongReply = {kReqSettings}},
         kReqSettings,
         {0x0B, 0x00, 0x04, 0x00}},
        {"malformed id", {.malformedReply = {kReqIdInfo}}, kReqIdInfo, {0x0B, 0x00, 0x05, 0x00}},
        {"malformed version",
         {.malformedReply = {kReqVersion}},
         kReqVersion,
         {0x96, 0x00, 28, 0x00}},
        {"malformed prepare ack",
         {.malformedReply = {kBeginFirmwareUpdate}},
         kBeginFirmwareUpdate,
         {0xC2, 0x00, 0x03, 0x00}},
    };
    for (const auto& c : cases) {
        Unit unit(Factory(), c.faults, {});
        const Outcome out = unit.Handle(Request(c.request));
        if (c.reply_head.empty()) {
            EXPECT_TRUE(out.reply.empty()) << c.name;
            continue;
        }
        ASSERT_GE(out.reply.size(), 4u) << c.name;
        EXPECT_EQ(Bytes(out.reply.begin(), out.reply.begin() + 4), c.reply_head) << c.name;
    }
}

TEST(SimUnitFaults, MalformedVersionLengthWordDisagreesWithTheText)
{
    Unit unit(Factory(), {.malformedReply = {kReqVersion}}, {});
    const Outcome out = unit.Handle(Request(kReqVersion));
    const std::size_t payload = ReadU16(out.reply.data() + 2);
    EXPECT_NE(ReadU16(out.reply.data() + 4) + 2u, payload);
}

TEST(SimUnitFaults, DropAckCountsFragmentsFromOne)
{
    Unit unit(Factory(), {.dropAck = {2}}, {});
    unit.Handle(Request(kBeginFirmwareUpdate));
    const Bytes block(16, 0xFF);
    EXPECT_FALSE(unit.Handle(FragmentAt(0, block)).reply.empty());
    EXPECT_TRUE(unit.Handle(FragmentAt(16, block)).reply.empty());
    EXPECT_FALSE(unit.Handle(FragmentAt(32, block)).reply.empty());
    EXPECT_EQ(unit.Received(), 48u);  // the unacknowledged block was stored
}

}  // namespace
}  // namespace k64::sim
