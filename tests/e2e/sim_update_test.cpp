// Firmware and sound transfers into the simulator at the wire level.
#include "sim/frame_codec.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace k64::test {
namespace {

using namespace std::chrono_literals;

const Bytes kPrepareAck = {0xC2, 0, 0, 0, 0, 0, 0, 0};
const Bytes kFragmentAck = {0xC1, 0, 0, 0, 0, 0, 0, 0};
const Bytes kCommitAck = {0xBF, 0, 0, 0, 0, 0, 0, 0};
const Bytes kIdReply = {0x0B, 0x00, 0x04, 0x00, 0x2A, 0, 0, 0, 0, 0, 0, 0};  // id 42

Bytes Concat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const auto& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

// A firmware image with its version record at offset 256 and varied filler elsewhere.
Bytes Image(std::size_t size, const std::string& version)
{
    Bytes image(size);
    std::uint32_t x = 12345;
    for (auto& b : image)
        b = static_cast<std::uint8_t>((x = x * 1103515245 + 12345) >> 16);
    std::fill(image.begin() + 256, image.begin() + 352, 0);
    auto put = [&](std::size_t at, const std::string& t) {
        std::copy(t.begin(), t.end(), image.begin() + 256 + at);
    };
    put(0, "K64_r2");
    put(48, version);
    put(64, "Oct 10 2020");
    return image;
}

Bytes Fragment(std::uint32_t offset, const Bytes& buffer, std::size_t at, std::size_t count)
{
    Bytes payload =
        Concat({U32Payload(offset),
                {static_cast<std::uint8_t>(count), static_cast<std::uint8_t>(count >> 8)}});
    payload.insert(payload.end(), buffer.begin() + static_cast<long>(at),
                   buffer.begin() + static_cast<long>(at + count));
    return EncodeFrame(192, payload);
}

class Unit {
public:
    explicit Unit(std::vector<std::string> extra = {})
    {
        std::vector<std::string> args = {"--id", "42", "--prepare-delay-ms", "0"};
        args.insert(args.end(), extra.begin(), extra.end());
        sim_ = std::make_unique<SimProcess>(SimProgram(), args);
    }
    bool Started() const { return sim_->Started(); }

    // One request per opening, as the tool does; the bytes that came back.
    Bytes Exchange(const Bytes& request, std::size_t expect)
    {
        SimLine line(sim_->PtyPath());
        EXPECT_TRUE(line.Write(request));
        return line.Read(expect);
    }
    // True when the request got no answer: an id request sent after it is answered first.
    bool Unanswered(const Bytes& request)
    {
        return Exchange(Concat({request, EncodeFrame(10)}), kIdReply.size()) == kIdReply;
    }
    // Prepare and send `buffer` in 1024-byte blocks; false at the first missing acknowledgement.
    bool Send(std::uint16_t prepare, const Bytes& buffer)
    {
        if (Exchange(EncodeFrame(prepare), kPrepareAck.size()) != kPrepareAck)
            return false;
        for (std::size_t at = 0; at < buffer.size(); at += 1024) {
            const std::size_t n = std::min<std::size_t>(1024, buffer.size() - at);
            if (Exchange(Fragment(static_cast<std::uint32_t>(at), buffer, at, n),
                         kFragmentAck.size()) != kFragmentAck) {
                return false;
            }
        }
        return true;
    }
    // True when the commit is acknowledged, false when it goes unanswered (then the id request
    // sent after it is answered first).
    bool Commit(std::uint32_t size, std::uint32_t crc)
    {
        const Bytes commit = EncodeFrame(190, Concat({U32Payload(size), U32Payload(crc)}));
        SimLine line(sim_->PtyPath());
        EXPECT_TRUE(line.Write(Concat({commit, EncodeFrame(10)})));
        const Bytes first = line.Read(kCommitAck.size());
        if (first == kCommitAck) {
            EXPECT_EQ(line.Read(kIdReply.size()), kIdReply);
            return true;
        }
        EXPECT_EQ(Concat({first, line.Read(kIdReply.size() - first.size())}), kIdReply);
        return false;
    }
    std::string Version()
    {
        const Bytes reply = Exchange(EncodeFrame(14), 8 + 2 + 26);
        if (reply.size() < 10)
            return {};
        const std::string text(reply.begin() + 6, reply.end() - 4);
        const auto first = text.find('\n');
        return text.substr(first + 1, text.find('\n', first + 1) - first - 1);
    }

private:
    std::unique_ptr<SimProcess> sim_;
};

Bytes FirmwareBuffer(const Bytes& image) { return Concat({Bytes(8, 0xFF), image}); }

struct CommitCase {
    const char* name;
    std::int64_t size_delta;
    std::uint32_t crc_xor;
    bool accepted;
};

TEST(SimFirmwareUpdate, CommitAcceptedOnlyForTheImageSizeAndChecksum)
{
    const Bytes image = Image(2500, "000.020");  // three blocks, the last one short
    const std::uint32_t crc = sim::Crc32Plain(image);
    const CommitCase cases[] = {
        {"crc off by one bit", 0, 1, false},
        {"size counting the head", 8, 0, false},
        {"size one short", -1, 0, false},
        {"crc of head and image", 0, crc ^ sim::Crc32Plain(FirmwareBuffer(image)), false},
        {"size and crc of the image", 0, 0, true},
    };
    Unit unit;
    ASSERT_TRUE(unit.Started());
    for (const auto& c : cases) {
        ASSERT_TRUE(unit.Send(195, FirmwareBuffer(image))) << c.name;
        EXPECT_EQ(unit.Commit(static_cast<std::uint32_t>(static_cast<std::int64_t>(image.size()) +
                                                         c.size_delta),
                              crc ^ c.crc_xor),
                  c.accepted)
            << c.name;
        EXPECT_EQ(unit.Version(), c.accepted ? "000.020" : "000.013") << c.name;
    }
}

TEST(SimFirmwareUpdate, ImageWithoutTheFFHeadIsRefused)
{
    const Bytes image = Image(1500, "000.021");
    Unit unit;
    ASSERT_TRUE(unit.Started());
    Bytes buffer = FirmwareBuffer(image);
    buffer[3] = 0xFE;
    ASSERT_TRUE(unit.Send(195, buffer));
    EXPECT_FALSE(unit.Commit(static_cast<std::uint32_t>(image.size()), sim::Crc32Plain(image)));
}

TEST(SimFirmwareUpdate, RestartForgetsAnUnfinishedTransfer)
{
    const Bytes image = Image(1500, "000.021");
    Unit unit;
    ASSERT_TRUE(unit.Started());
    ASSERT_TRUE(unit.Send(195, FirmwareBuffer(image)));
    EXPECT_TRUE(unit.Unanswered(EncodeFrame(15)));
    EXPECT_FALSE(unit.Commit(static_cast<std::uint32_t>(image.size()), sim::Crc32Plain(image)));
    EXPECT_EQ(unit.Version(), "000.013");
}

TEST(SimFirmwareUpdate, FaultOptionsRefuseTheirStep)
{
    const Bytes image = Image(2500, "000.022");
    const std::uint32_t size = static_cast<std::uint32_t>(image.size());
    {
        Unit unit({"--reject-commit"});
        ASSERT_TRUE(unit.Started());
        ASSERT_TRUE(unit.Send(195, FirmwareBuffer(image)));
        EXPECT_FALSE(unit.Commit(size, sim::Crc32Plain(image)));
    }
    {
        Unit unit({"--drop-ack", "2"});
        ASSERT_TRUE(unit.Started());
        const Bytes buffer = FirmwareBuffer(image);
        ASSERT_EQ(unit.Exchange(EncodeFrame(195), 8), kPrepareAck);
        EXPECT_EQ(unit.Exchange(Fragment(0, buffer, 0, 1024), 8), kFragmentAck);
        EXPECT_TRUE(unit.Unanswered(Fragment(1024, buffer, 1024, 1024)));
        // The unacknowledged block was stored all the same; the rest completes the image.
        EXPECT_EQ(unit.Exchange(Fragment(2048, buffer, 2048, buffer.size() - 2048), 8),
                  kFragmentAck);
        EXPECT_TRUE(unit.Commit(size, sim::Crc32Plain(image)));
    }
}

TEST(SimTransferBuffer, FragmentsBeyondTwoMebibytesAreRefused)
{
    Unit unit;
    ASSERT_TRUE(unit.Started());
    ASSERT_EQ(unit.Exchange(EncodeFrame(195), 8), kPrepareAck);
    const Bytes three = {1, 2, 3};
    const struct {
        std::uint32_t offset;
        bool acked;
    } cases[] = {{2 * 1024 * 1024 - 3, true}, {2 * 1024 * 1024 - 2, false}, {0xFFFFFFFF, false}};
    for (const auto& c : cases) {
        const Bytes frame = Fragment(c.offset, three, 0, 3);
        if (c.acked) {
            EXPECT_EQ(unit.Exchange(frame, 8), kFragmentAck) << c.offset;
        } else {
            EXPECT_TRUE(unit.Unanswered(frame)) << c.offset;
        }
    }
}

// Sound container: two head words (length, checksum of what follows), then the data.
Bytes Container(const Bytes& data, std::uint32_t length, std::uint32_t crc)
{
    return Concat({U32Payload(length), U32Payload(crc), data});
}

TEST(SimSoundUpdate, CommitMustMatchTheHeadAndTheHeadTheData)
{
    Bytes data(3000);
    for (std::size_t i = 0; i < data.size(); ++i)
        data[i] = static_cast<std::uint8_t>(0x80 + (i * 7) % 31);
    const std::uint32_t n = static_cast<std::uint32_t>(data.size());
    const std::uint32_t crc = sim::Crc32Plain(data);
    const struct {
        const char* name;
        Bytes container;
        std::uint32_t size, crc;
        bool accepted;
    } cases[] = {
        {"head with a wrong checksum", Container(data, n, crc ^ 0x100), n, crc ^ 0x100, false},
        {"head with a wrong length", Container(data, n - 1, crc), n - 1, crc, false},
        {"commit differing from the head", Container(data, n, crc), n, crc ^ 1, false},
        {"commit counting the head", Container(data, n, crc), n + 8, crc, false},
        {"matching head and commit", Container(data, n, crc), n, crc, true},
    };
    Unit unit;
    ASSERT_TRUE(unit.Started());
    for (const auto& c : cases) {
        ASSERT_TRUE(unit.Send(196, c.container)) << c.name;
        EXPECT_EQ(unit.Commit(c.size, c.crc), c.accepted) << c.name;
    }
}

}  // namespace
}  // namespace k64::test
