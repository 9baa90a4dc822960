// The simulator's own frame parser and checksum.
#include "sim/frame_codec.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace k64::sim {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(SimCrc32Plain, KnownValues)
{
    const struct {
        std::string data;
        std::uint32_t crc;
    } cases[] = {{"", 0}, {"abc", 0xCA6598D0}, {"123456789", 0x2DFD2D88}};
    for (const auto& c : cases) {
        const Bytes b(c.data.begin(), c.data.end());
        EXPECT_EQ(Crc32Plain(b), c.crc) << c.data;
    }
}

TEST(SimEncodeFrame, Layout)
{
    EXPECT_EQ(EncodeFrame(14, {}), (Bytes{0x0E, 0x00, 0x00, 0x00, 0, 0, 0, 0}));
    EXPECT_EQ(EncodeFrame(11, Bytes{1, 2, 3, 4}, true),
              (Bytes{0x0B, 0x80, 0x04, 0x00, 1, 2, 3, 4, 0, 0, 0, 0}));
}

std::vector<Frame> FeedInPieces(const Bytes& stream, std::size_t piece)
{
    FrameParser parser;
    std::vector<Frame> frames;
    for (std::size_t at = 0; at < stream.size(); at += piece) {
        const std::size_t n = std::min(piece, stream.size() - at);
        parser.Feed({stream.data() + at, n}, frames);
    }
    return frames;
}

TEST(SimFrameParser, SameFramesWhateverThePieces)
{
    Bytes stream;
    for (const Bytes& f :
         {EncodeFrame(10, {}), EncodeFrame(201, Bytes{'a', '=', '1', 0}),
          EncodeFrame(192, Bytes{0, 4, 0, 0, 2, 0, 0xAA, 0xBB}), EncodeFrame(14, {}, true)}) {
        stream.insert(stream.end(), f.begin(), f.end());
    }
    for (std::size_t piece : {1u, 3u, 7u, 4096u}) {
        const auto frames = FeedInPieces(stream, piece);
        ASSERT_EQ(frames.size(), 4u) << piece;
        EXPECT_EQ(frames[1].payload, (Bytes{'a', '=', '1', 0}));
        EXPECT_EQ(frames[2].payload.size(), 8u);
        EXPECT_EQ(frames[3].code, 14);
        EXPECT_TRUE(frames[3].flag);
    }
}

TEST(SimFrameParser, NoiseIsSkippedAndTheNextFrameFound)
{
    const struct {
        const char* name;
        Bytes noise;
    } cases[] = {
        {"unknown code", {0x0C, 0x00, 0x00, 0x00, 0, 0, 0, 0}},
        {"id request with a payload", {0x0A, 0x00, 0x02, 0x00, 1, 2, 0, 0, 0, 0}},
        {"commit of 7 bytes", {0xBE, 0x00, 0x07, 0x00}},
        {"fragment announcing 65535 bytes", {0xC0, 0x00, 0xFF, 0xFF}},
        {"non-zero trailer", {0x0E, 0x00, 0x00, 0x00, 0, 0, 1, 0}},
        {"text", {'$', 'V', 'S', ':', '1', '2', '\r', '\n'}},
    };
    for (const auto& c : cases) {
        Bytes stream = c.noise;
        const Bytes good = EncodeFrame(10, {});
        stream.insert(stream.end(), good.begin(), good.end());
        const auto frames = FeedInPieces(stream, 1);
        ASSERT_EQ(frames.size(), 1u) << c.name;
        EXPECT_EQ(frames[0].code, 10) << c.name;
    }
}

TEST(SimFrameParser, EndlessNoiseStaysBounded)
{
    FrameParser parser;
    std::vector<Frame> frames;
    // A settings header announcing 4096 bytes, then a flood of ones: the parser holds at most a
    // frame's worth while it waits, and finds no frame.
    const Bytes head = {0xC9, 0x00, 0x00, 0x10};
    parser.Feed(head, frames);
    const Bytes flood(1 << 20, 0xFF);
    parser.Feed(flood, frames);
    EXPECT_TRUE(frames.empty());
    EXPECT_LE(parser.Pending(), 4u + 4096u + 4u);
}

TEST(SimFrameParser, ResetDropsAPartialFrame)
{
    FrameParser parser;
    std::vector<Frame> frames;
    parser.Feed(Bytes{0xC9, 0x00, 0x05, 0x00, 'a'}, frames);
    parser.Reset();
    parser.Feed(EncodeFrame(10, {}), frames);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].code, 10);
}

}  // namespace
}  // namespace k64::sim
