// Messages on the wire: byte-exact frames, the transmit window, and the factory's checks.

#include "device/messages.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace quon::tms::messages;
using Bytes = std::vector<std::uint8_t>;

// Collects writes; the free space is what the test gives it, less what was written since the
// last Drain() (a transmit queue that empties when the test says so).
class WindowStream final : public quon::io::OutputStream {
public:
    explicit WindowStream(int window) : window_(window) {}
    bool IsOpen() override { return true; }
    void Close() override {}
    bool Open() override { return true; }
    int FreeSpace() override { return std::max(0, window_ - queued_); }
    bool IsEmpty() override { return queued_ == 0; }
    int Write(const void* data, int count) override
    {
        if (count > FreeSpace())
            overrun = true;
        const auto* p = static_cast<const std::uint8_t*>(data);
        bytes.insert(bytes.end(), p, p + count);
        queued_ += count;
        return count;
    }
    void Drain() { queued_ = 0; }

    Bytes bytes;
    bool overrun = false;

private:
    int window_;
    int queued_ = 0;
};

Bytes Frame(const AbstractMessage& m)
{
    Bytes out = m.Encode();
    out.insert(out.end(), 4, 0);
    return out;
}

// Sends `m` through a window of `window` bytes that drains between calls; returns the wire bytes.
Bytes SendThroughWindow(AbstractMessage& m, int window, int* calls = nullptr)
{
    WindowStream s(window);
    int n = 0;
    while (!m.Write(s)) {
        s.Drain();
        if (++n > 100000)
            ADD_FAILURE() << "writer never finishes";
        if (n > 100000)
            break;
    }
    EXPECT_FALSE(s.overrun) << "wrote more than the free space";
    if (calls)
        *calls = n + 1;
    return s.bytes;
}

struct EncodingCase {
    const char* name;
    std::function<std::unique_ptr<AbstractMessage>()> make;
    Bytes wire;  // whole frame, trailer included
};

std::unique_ptr<AbstractMessage> Commit(std::uint32_t size, std::uint32_t crc)
{
    auto m = std::make_unique<CommitUpdateMessage>();
    m->SetTotalSize(size);
    m->SetCrc(crc);
    return m;
}

std::unique_ptr<AbstractMessage> Settings(const std::string& text)
{
    auto m = std::make_unique<SettingsMessage>();
    EXPECT_TRUE(m->SetText(text));
    return m;
}

std::unique_ptr<AbstractMessage> Fragment(std::uint32_t offset, const Bytes& data)
{
    auto m = std::make_unique<DataFragmentMessage>();
    EXPECT_TRUE(m->SetData(data.data(), data.size()));
    m->SetOffset(offset);
    return m;
}

template <typename M>
std::unique_ptr<AbstractMessage> Simple()
{
    return std::make_unique<M>();
}

const EncodingCase kEncodings[] = {
    {"ReqVersion", Simple<ReqVersionMessage>, {0x0E, 0, 0, 0, 0, 0, 0, 0}},
    {"ReqIdInfo", Simple<ReqIdInfoMessage>, {0x0A, 0, 0, 0, 0, 0, 0, 0}},
    {"Restart", Simple<RestartMessage>, {0x0F, 0, 0, 0, 0, 0, 0, 0}},
    {"DiagnosticModeEnable", Simple<DiagnosticModeEnableMessage>, {0x64, 0, 0, 0, 0, 0, 0, 0}},
    {"CommitUpdateAck", Simple<CommitUpdateAckMessage>, {0xBF, 0, 0, 0, 0, 0, 0, 0}},
    {"DataFragmentAck", Simple<DataFragmentAckMessage>, {0xC1, 0, 0, 0, 0, 0, 0, 0}},
    {"BeginUpdateAck", Simple<BeginUpdateAckMessage>, {0xC2, 0, 0, 0, 0, 0, 0, 0}},
    {"BeginFirmwareUpdate", Simple<BeginFirmwareUpdateMessage>, {0xC3, 0, 0, 0, 0, 0, 0, 0}},
    {"BeginWaveUpdate", Simple<BeginWaveUpdateMessage>, {0xC4, 0, 0, 0, 0, 0, 0, 0}},
    {"ReqSettings", Simple<ReqSettingsMessage>, {0xC8, 0, 0, 0, 0, 0, 0, 0}},
    {"IdSet5",
     [] { return std::make_unique<IdSetMessage>(5); },
     {0x0D, 0, 4, 0, 5, 0, 0, 0, 0, 0, 0, 0}},
    {"IdInfoWithFlag",
     [] {
         auto m = std::make_unique<IdInfoMessage>(0x0A0B0C0D);
         m->SetFlag(true);
         return std::unique_ptr<AbstractMessage>(std::move(m));
     },
     {0x0B, 0x80, 4, 0, 0x0D, 0x0C, 0x0B, 0x0A, 0, 0, 0, 0}},
    {"Commit1000",
     [] { return Commit(1000, 0x11223344); },
     {0xBE, 0, 8, 0, 0xE8, 0x03, 0, 0, 0x44, 0x33, 0x22, 0x11, 0, 0, 0, 0}},
    {"SettingsOneChar", [] { return Settings("1"); }, {0xC9, 0, 2, 0, 0x31, 0, 0, 0, 0, 0}},
    {"SettingsEmpty", [] { return Settings(""); }, {0xC9, 0, 1, 0, 0, 0, 0, 0, 0}},
    {"Fragment3",
     [] {
         return Fragment(1024, {0xAA, 0xBB, 0xCC});
     },
     {0xC0, 0, 9, 0, 0, 4, 0, 0, 3, 0, 0xAA, 0xBB, 0xCC, 0, 0, 0, 0}},
    {"FragmentEmpty",
     [] { return Fragment(7, {}); },
     {0xC0, 0, 6, 0, 7, 0, 0, 0, 0, 0, 0, 0, 0, 0}},
    {"TextABC",
     [] { return std::make_unique<TextMessage>("ABC"); },
     {0x96, 0, 5, 0, 3, 0, 0x41, 0x42, 0x43, 0, 0, 0, 0}},
};

class Encoding : public testing::TestWithParam<EncodingCase> {};

TEST_P(Encoding, WritesExactFrame)
{
    auto m = GetParam().make();
    EXPECT_EQ(SendThroughWindow(*m, 1 << 20), GetParam().wire);
    EXPECT_EQ(Frame(*m), GetParam().wire);
    EXPECT_EQ(m->GetFrameLength() + 4, GetParam().wire.size());
    EXPECT_EQ(m->GetPayload().size(), m->GetPayloadLength());
}

TEST_P(Encoding, FactoryRebuildsTheSamePayload)
{
    auto m = GetParam().make();
    const Bytes payload = m->GetPayload();
    auto back = CreateMessage(m->CodeWord(), payload.data(), m->GetPayloadLength());
    ASSERT_NE(back, nullptr);
    EXPECT_EQ(back->GetCode(), m->GetCode());
    EXPECT_EQ(back->GetFlag(), m->GetFlag());
    EXPECT_EQ(back->GetPayload(), payload);
}

INSTANTIATE_TEST_SUITE_P(Messages, Encoding, testing::ValuesIn(kEncodings),
                         [](const auto& info) { return std::string(info.param.name); });

// The whole-frame writer needs room for the frame and its trailer, or writes nothing.
struct FreeSpaceCase {
    int free;
    bool written;
};

class WholeFrameWriter : public testing::TestWithParam<FreeSpaceCase> {};

TEST_P(WholeFrameWriter, WritesAllOrNothing)
{
    IdSetMessage m(1);  // 4-byte payload: 12 bytes with the trailer
    WindowStream s(GetParam().free);
    EXPECT_EQ(m.Write(s), GetParam().written);
    EXPECT_EQ(s.bytes.size(), GetParam().written ? 12u : 0u);
}

INSTANTIATE_TEST_SUITE_P(Messages, WholeFrameWriter,
                         testing::Values(FreeSpaceCase{60, true}, FreeSpaceCase{12, true},
                                         FreeSpaceCase{11, false}, FreeSpaceCase{0, false}));

// Large frames go out in pieces that never exceed the window, and come out whole.
struct WindowCase {
    const char* name;
    std::function<std::unique_ptr<AbstractMessage>()> make;
    int window;
};

Bytes Pattern(std::size_t n)
{
    Bytes b(n);
    for (std::size_t i = 0; i < n; ++i)
        b[i] = static_cast<std::uint8_t>(i * 7 + 1);
    return b;
}

std::string Text(std::size_t n)
{
    std::string s(n, 'x');
    for (std::size_t i = 0; i < n; ++i)
        s[i] = static_cast<char>('a' + i % 26);
    return s;
}

const WindowCase kWindows[] = {
    {"Settings300In64", [] { return Settings(Text(300)); }, 64},
    {"Settings63In64", [] { return Settings(Text(63)); }, 64},
    {"Settings64In64", [] { return Settings(Text(64)); }, 64},
    {"SettingsIn5", [] { return Settings(Text(40)); }, 5},
    {"Fragment1024In64", [] { return Fragment(0x12345678, Pattern(1024)); }, 64},
    {"Fragment54In64", [] { return Fragment(3, Pattern(54)); }, 64},
    {"FragmentIn10", [] { return Fragment(3, Pattern(33)); }, 10},
};

class IncrementalWriter : public testing::TestWithParam<WindowCase> {};

TEST_P(IncrementalWriter, PiecesAddUpToTheFrame)
{
    auto m = GetParam().make();
    int calls = 0;
    EXPECT_EQ(SendThroughWindow(*m, GetParam().window, &calls), Frame(*m));
    EXPECT_GE(calls, static_cast<int>((Frame(*m).size() + GetParam().window - 1) /
                                      static_cast<std::size_t>(GetParam().window)));
    // Back in its first state: the same message can be sent again.
    EXPECT_EQ(SendThroughWindow(*m, GetParam().window), Frame(*m));
}

INSTANTIATE_TEST_SUITE_P(Messages, IncrementalWriter, testing::ValuesIn(kWindows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(IncrementalWriter, HeaderWaitsForItsRoom)
{
    WindowStream three(3);
    auto settings = Settings("abc");
    EXPECT_FALSE(settings->Write(three));
    EXPECT_TRUE(three.bytes.empty());

    WindowStream nine(9);
    auto fragment = Fragment(0, {1, 2});
    EXPECT_FALSE(fragment->Write(nine));
    EXPECT_TRUE(nine.bytes.empty());
}

TEST(SettingsText, EndsAtZeroAndRefusesWhatNoFrameHolds)
{
    SettingsMessage m;
    EXPECT_TRUE(m.SetText(std::string("ab\0cd", 5)));
    EXPECT_EQ(m.GetText(), "ab");
    EXPECT_EQ(m.GetPayloadLength(), 3);
    EXPECT_TRUE(m.SetText(std::string(SettingsMessage::kMaxText, 'a')));
    EXPECT_EQ(m.GetPayloadLength(), 0xFFFF);
    EXPECT_FALSE(m.SetText(std::string(SettingsMessage::kMaxText + 1, 'a')));
    EXPECT_EQ(m.GetText().size(), SettingsMessage::kMaxText);

    DataFragmentMessage f;
    EXPECT_FALSE(f.SetData(Pattern(DataFragmentMessage::kMaxData + 1).data(),
                           DataFragmentMessage::kMaxData + 1));
    EXPECT_FALSE(f.SetData(nullptr, 3));
}

// CreateMessage: every code, with the payload checks that guard against malformed replies.
struct FactoryCase {
    const char* name;
    std::uint16_t codeWord;
    Bytes payload;
    bool nullPayload;
    std::function<void(const AbstractMessage*)> check;  // null message expected when empty
};

void IsNull(const AbstractMessage* m) { EXPECT_EQ(m, nullptr); }

template <typename M>
std::function<void(const AbstractMessage*)> Is(std::int16_t code,
                                               std::function<void(const M&)> more = {})
{
    return [code, more](const AbstractMessage* m) {
        ASSERT_NE(m, nullptr);
        EXPECT_EQ(m->GetCode(), code);
        const auto* typed = dynamic_cast<const M*>(m);
        ASSERT_NE(typed, nullptr);
        if (more)
            more(*typed);
    };
}

const FactoryCase kFactory[] = {
    {"Simple10", 10, {}, true, Is<ReqIdInfoMessage>(10)},
    {"Simple14IgnoresPayload", 14, {1, 2, 3}, false, Is<ReqVersionMessage>(14)},
    {"Simple15", 15, {}, true, Is<RestartMessage>(15)},
    {"Simple100", 100, {}, true, Is<DiagnosticModeEnableMessage>(100)},
    {"Simple191", 191, {}, true, Is<CommitUpdateAckMessage>(191)},
    {"Simple193", 193, {}, true, Is<DataFragmentAckMessage>(193)},
    {"Simple194", 194, {}, true, Is<BeginUpdateAckMessage>(194)},
    {"Simple195", 195, {}, true, Is<BeginFirmwareUpdateMessage>(195)},
    {"Simple196", 196, {}, true, Is<BeginWaveUpdateMessage>(196)},
    {"Simple200", 200, {}, true, Is<ReqSettingsMessage>(200)},
    {"Id4",
     0x000B,
     {0x0D, 0x0C, 0x0B, 0x0A},
     false,
     Is<IdInfoMessage>(11, [](const IdInfoMessage& m) { EXPECT_EQ(m.GetId(), 0x0A0B0C0Du); })},
    {"Id3", 0x000B, {1, 2, 3}, false, IsNull},
    {"Id5", 0x000B, {1, 2, 3, 4, 5}, false, IsNull},
    {"IdNoPayload", 0x000B, {}, true, IsNull},
    {"IdSet4",
     13,
     {5, 0, 0, 0},
     false,
     Is<IdSetMessage>(13, [](const IdSetMessage& m) { EXPECT_EQ(m.GetId(), 5u); })},
    {"IdSet2", 13, {5, 0}, false, IsNull},
    {"TextABC",
     150,
     {3, 0, 0x41, 0x42, 0x43},
     false,
     Is<TextMessage>(150, [](const TextMessage& m) { EXPECT_EQ(m.GetText(), "ABC"); })},
    {"TextShort", 150, {3, 0, 0x41, 0x42}, false, IsNull},
    {"TextLong", 150, {1, 0, 0x41, 0x42}, false, IsNull},
    {"TextEmpty",
     150,
     {0, 0},
     false,
     Is<TextMessage>(150, [](const TextMessage& m) { EXPECT_EQ(m.GetText(), ""); })},
    {"TextOneByte", 150, {0}, false, IsNull},
    {"TextLengthWraps", 150, {0xFF, 0xFF, 0x41}, false, IsNull},
    {"Commit8",
     190,
     {0xE8, 3, 0, 0, 0x44, 0x33, 0x22, 0x11},
     false,
     Is<CommitUpdateMessage>(190,
                             [](const CommitUpdateMessage& m) {
                                 EXPECT_EQ(m.GetTotalSize(), 1000u);
                                 EXPECT_EQ(m.GetCrc(), 0x11223344u);
                             })},
    {"Commit7", 190, {1, 2, 3, 4, 5, 6, 7}, false, IsNull},
    {"FragmentEmpty",
     192,
     {0, 4, 0, 0, 0, 0},
     false,
     Is<DataFragmentMessage>(192,
                             [](const DataFragmentMessage& m) {
                                 EXPECT_EQ(m.GetOffset(), 1024u);
                                 EXPECT_EQ(m.GetCount(), 0);
                             })},
    {"FragmentData",
     192,
     {1, 0, 0, 0, 2, 0, 0xAA, 0xBB},
     false,
     Is<DataFragmentMessage>(192,
                             [](const DataFragmentMessage& m) {
                                 EXPECT_EQ(m.GetData(), (Bytes{0xAA, 0xBB}));
                             })},
    {"FragmentCountMismatch", 192, {0, 0, 0, 0, 5, 0, 1, 2, 3, 4}, false, IsNull},
    {"FragmentShort", 192, {0, 0, 0, 0, 0}, false, IsNull},
    {"Settings",
     201,
     {'a', '=', '1', 0},
     false,
     Is<SettingsMessage>(201, [](const SettingsMessage& m) { EXPECT_EQ(m.GetText(), "a=1"); })},
    {"SettingsWithoutZeroIsBounded",
     201,
     {'a', 'b'},
     false,
     Is<SettingsMessage>(201, [](const SettingsMessage& m) { EXPECT_EQ(m.GetText(), "ab"); })},
    {"SettingsFullWithoutZero", 201, Bytes(0xFFFF, 'a'), false, IsNull},
    {"SettingsStopsAtFirstZero",
     201,
     {'a', 0, 'b', 0},
     false,
     Is<SettingsMessage>(201, [](const SettingsMessage& m) { EXPECT_EQ(m.GetText(), "a"); })},
    {"SettingsNoPayload",
     201,
     {},
     true,
     Is<SettingsMessage>(201, [](const SettingsMessage& m) { EXPECT_EQ(m.GetText(), ""); })},
    {"FlagBitMasked",
     0x80C9,
     {'x', 0},
     false,
     [](const AbstractMessage* m) {
         ASSERT_NE(m, nullptr);
         EXPECT_EQ(m->GetCode(), 201);
         EXPECT_TRUE(m->GetFlag());
     }},
    {"Unknown0", 0, {}, true, IsNull},
    {"Unknown12", 12, {1, 2, 3, 4}, false, IsNull},
    {"Unknown197", 197, {}, true, IsNull},
    {"Unknown202", 202, {}, true, IsNull},
    {"Unknown7FFF", 0x7FFF, {}, true, IsNull},
    {"UnknownWithFlag", 0x800C, {}, true, IsNull},
};

class Factory : public testing::TestWithParam<FactoryCase> {};

TEST_P(Factory, BuildsOrRefuses)
{
    const auto& c = GetParam();
    auto m = CreateMessage(c.codeWord, c.nullPayload ? nullptr : c.payload.data(),
                           static_cast<std::uint16_t>(c.payload.size()));
    c.check(m.get());
    if (m && c.codeWord < 0x8000) {
        EXPECT_FALSE(m->GetFlag());
    }
}

INSTANTIATE_TEST_SUITE_P(Messages, Factory, testing::ValuesIn(kFactory),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
