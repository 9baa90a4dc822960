// Checks the embedded firmware image and sound container as the programs will see them: the
// update procedures send these bytes to the unit unchanged, so a layout or checksum slip here
// would only show up as a unit refusing the update.

#include "common/cp1251.h"
#include "resources/resources.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Bytes = std::span<const unsigned char>;

Bytes Resource(std::string_view name)
{
    const auto found = k64::resources::Find(name);
    return found ? *found : Bytes{};
}

std::uint32_t U32(Bytes data, std::size_t offset)
{
    return static_cast<std::uint32_t>(data[offset]) |
           static_cast<std::uint32_t>(data[offset + 1]) << 8 |
           static_cast<std::uint32_t>(data[offset + 2]) << 16 |
           static_cast<std::uint32_t>(data[offset + 3]) << 24;
}

std::uint16_t U16(Bytes data, std::size_t offset)
{
    return static_cast<std::uint16_t>(data[offset] | data[offset + 1] << 8);
}

// Reflected CRC-32 started at 0 without the final XOR, kept here so that the container's
// checksum is checked independently of the device layer's routine.
std::uint32_t CrcZeroStart(Bytes data)
{
    static const auto table = [] {
        std::array<std::uint32_t, 256> t{};
        for (std::uint32_t i = 0; i < 256; ++i) {
            std::uint32_t c = i;
            for (int bit = 0; bit < 8; ++bit)
                c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    std::uint32_t crc = 0;
    for (const unsigned char b : data)
        crc = table[(b ^ crc) & 0xFFu] ^ (crc >> 8);
    return crc;
}

Bytes Text(std::string_view s)
{
    return {reinterpret_cast<const unsigned char*>(s.data()), s.size()};
}

// ---------------------------------------------------------------------------------------------
// Firmware image

// Whatever image the build embeds (the stand-in or the product's own): the window shows its
// record, so the record must be there, each text ending within its field.
constexpr std::size_t kRecordOffset = 256;

struct RecordField {
    const char* name;
    std::size_t offset;
    std::size_t size;
    bool shown;  // in the window's title or on the button, so never empty
};

constexpr RecordField kRecordFields[] = {
    {"Type", 0, 48, true},
    {"Version", 48, 16, true},
    {"BuildDate", 64, 32, false},
};

TEST(BlowImage, VersionRecordHoldsZeroTerminatedTexts)
{
    const Bytes blow = Resource("blow");
    ASSERT_GE(blow.size(), kRecordOffset + 96);
    for (const auto& f : kRecordFields) {
        SCOPED_TRACE(f.name);
        const Bytes field = blow.subspan(kRecordOffset + f.offset, f.size);
        const auto end = std::find(field.begin(), field.end(), 0);
        ASSERT_NE(end, field.end()) << "no terminator inside the field";
        if (f.shown) {
            EXPECT_NE(end, field.begin()) << "empty";
        }
    }
}

TEST(BlowImage, StartsWithACortexMVectorTable)
{
    const Bytes blow = Resource("blow");
    ASSERT_GE(blow.size(), kRecordOffset);
    const std::uint32_t stack = U32(blow, 0);
    EXPECT_GE(stack, 0x2000'0000u) << "initial stack pointer outside SRAM";
    EXPECT_LT(stack, 0x2010'0000u);
    EXPECT_EQ(stack % 8, 0u) << "stack must start 8-byte aligned";

    // Reset and the core exception handlers: Thumb addresses (bit 0 set) that all lie within
    // one image-sized stretch of flash; unused slots are zero.
    std::vector<std::uint32_t> handlers;
    for (std::size_t slot = 1; slot < 16; ++slot) {
        const std::uint32_t v = U32(blow, slot * 4);
        if (v == 0)
            continue;
        EXPECT_EQ(v & 1u, 1u) << "vector " << slot << " is not a Thumb address";
        handlers.push_back(v);
    }
    ASSERT_FALSE(handlers.empty());
    EXPECT_NE(U32(blow, 4), 0u) << "no reset vector";
    const auto [low, high] = std::minmax_element(handlers.begin(), handlers.end());
    EXPECT_LT(*high - *low, blow.size());
    EXPECT_GE(*low, 0x0000'0100u) << "handlers cannot lie inside the vector table of an image at 0";
}

// ---------------------------------------------------------------------------------------------
// Sound container

constexpr std::size_t kHeadSize = 8;
constexpr std::size_t kRecordHeadSize = 8;
constexpr std::uint32_t kSampleRate = 8000;
constexpr std::string_view kNameEnd{".wav\0\0\0", 7};

struct Sound {
    std::uint32_t id;
    const char* name;  // UTF-8, without ".wav"
};

constexpr Sound kSounds[] = {
    {1, "главное меню"},
    {2, "закрыть"},
    {4, "завести двигатель"},
    {5, "остановить двигатель"},
    {6, "состояние"},
    {7, "открыть"},
    {100, "сработал датчик"},
    {101, "охрана включена"},
    {102, "охрана отключена"},
    {103, "тревога"},
    {104, "внимание"},
    {105, "удара"},
    {106, "движения"},
    {107, "наклона"},
    {108, "открыт капот"},
    {109, "открыт багажник"},
    {110, "открыта дверь"},
    {111, "включено зажигание"},
    {112, "нажата педаль тормоза"},
    {200, "двигатель"},
    {201, "работает"},
    {202, "остановлен"},
    {203, "не запущен"},
    {209, "настройки"},
    {210, "настроить"},
    {211, "настройка"},
    {212, "автозапуск"},
    {213, "автозапуска"},
    {216, "запрещено"},
    {218, "выбрать"},
    {219, "тип"},
    {220, "автоматический"},
    {221, "по"},
    {222, "таймеру"},
    {223, "температуре"},
    {224, "ручной"},
    {225, "команде"},
    {226, "период"},
    {227, "температура"},
    {228, "час"},
    {229, "часа"},
    {230, "градусов"},
    {231, "каждый"},
    {232, "каждые"},
    {233, "включен"},
    {234, "отключен"},
    {235, "отключить"},
    {236, "уровень"},
    {237, "минимальный"},
    {238, "максимальный"},
    {239, "акселерометр"},
    {240, "датчик"},
    {241, "напряжение"},
    {242, "введите"},
    {243, "пин"},
    {244, "код"},
    {245, "запросить баланс"},
    {246, "добавить"},
    {247, "удалить все"},
    {248, "брелки"},
    {249, "блокировка"},
    {250, "включить"},
    {251, "включена"},
    {252, "отключена"},
    {253, "внешнего"},
    {254, "датчика"},
    {255, "модель автомобиля"},
    {256, "местоположение"},
    {257, "калина гранта приора"},
    {258, "веста"},
    {259, "xray"},
    {998, "и"},
    {999, "минус"},
    {1000, "ноль"},
    {1001, "один"},
    {1002, "два"},
    {1003, "три"},
    {1004, "четыре"},
    {1005, "пять"},
    {1006, "шесть"},
    {1007, "семь"},
    {1008, "восемь"},
    {1009, "девять"},
    {1010, "десять"},
    {1011, "одиннадцать"},
    {1012, "двенадцать"},
    {1013, "тринадцать"},
    {1014, "четырнадцать"},
    {1015, "пятнадцать"},
    {1016, "шестнадцать"},
    {1017, "семнадцать"},
    {1018, "восемнадцать"},
    {1019, "девятнадцать"},
    {1022, "двадцать"},
    {1023, "тридцать"},
    {1024, "сорок"},
    {1025, "пятьдесят"},
    {1026, "шестьдесят"},
    {1027, "семьдесят"},
    {1028, "восемьдесят"},
    {1029, "девяносто"},
    {1030, "сто"},
};
constexpr std::size_t kSoundCount = std::size(kSounds);

struct Record {
    std::uint32_t directory_id = 0;
    std::uint32_t offset = 0;  // from the first byte after the directory
    std::uint32_t size = 0;    // RecordSize
    std::uint16_t id = 0;      // SoundId in the record
    std::string name;          // the whole name field, padding included
    Bytes samples;
};

// Walks the directory and the records, refusing any field that points outside the container.
// Fills `error` and returns nothing on the first violation.
std::optional<std::vector<Record>> ReadRecords(Bytes wave, std::string& error)
{
    if (wave.size() < kHeadSize + 4) {
        error = "no room for head and directory";
        return std::nullopt;
    }
    const std::size_t count = U16(wave, kHeadSize);
    const std::size_t base = kHeadSize + 4 + 8 * count;
    if (base > wave.size()) {
        error = "directory runs past the end";
        return std::nullopt;
    }
    std::vector<Record> records(count);
    for (std::size_t i = 0; i < count; ++i) {
        Record& r = records[i];
        r.directory_id = U32(wave, kHeadSize + 4 + 8 * i);
        r.offset = U32(wave, kHeadSize + 8 + 8 * i);
        const std::size_t at = base + r.offset;
        if (r.offset > wave.size() - base || wave.size() - at < kRecordHeadSize) {
            error = "record " + std::to_string(i) + " head outside the container";
            return std::nullopt;
        }
        r.size = U32(wave, at);
        r.id = U16(wave, at + 4);
        const std::uint16_t name_length = U16(wave, at + 6);
        if (r.size > wave.size() - at || r.size < kRecordHeadSize + name_length) {
            error = "record " + std::to_string(i) + " size out of bounds";
            return std::nullopt;
        }
        r.name.assign(reinterpret_cast<const char*>(wave.data() + at + kRecordHeadSize),
                      name_length);
        r.samples = wave.subspan(at + kRecordHeadSize + name_length,
                                 r.size - kRecordHeadSize - name_length);
    }
    return records;
}

std::vector<Record> Records()
{
    std::string error;
    auto records = ReadRecords(Resource("wave_list"), error);
    EXPECT_TRUE(records.has_value()) << error;
    return records.value_or(std::vector<Record>{});
}

struct CrcCase {
    std::string_view data;
    std::uint32_t crc;
};

// Known answers pin the helper down before it judges the container.
constexpr CrcCase kCrcCases[] = {
    {"", 0x00000000u},
    {"abc", 0xCA6598D0u},
    {"123456789", 0x2DFD2D88u},
};

TEST(WaveList, ChecksumHelperGivesKnownAnswers)
{
    for (const auto& c : kCrcCases) {
        EXPECT_EQ(CrcZeroStart(Text(c.data)), c.crc) << '"' << c.data << '"';
    }
}

TEST(WaveList, HeadDescribesTheDataAfterIt)
{
    const Bytes wave = Resource("wave_list");
    ASSERT_GE(wave.size(), kHeadSize);
    EXPECT_EQ(U32(wave, 0), wave.size() - kHeadSize);
    EXPECT_EQ(U32(wave, 4), CrcZeroStart(wave.subspan(kHeadSize)));
}

TEST(WaveList, DirectoryListsTheSoundsInOrder)
{
    const Bytes wave = Resource("wave_list");
    ASSERT_GE(wave.size(), kHeadSize + 4 + 8 * kSoundCount);
    EXPECT_EQ(U16(wave, kHeadSize), kSoundCount);
    EXPECT_EQ(U16(wave, kHeadSize + 2), 1u);
    EXPECT_EQ(U32(wave, kHeadSize + 8), 0u) << "first record must start right after the directory";
    for (std::size_t i = 0; i < kSoundCount; ++i) {
        EXPECT_EQ(U32(wave, kHeadSize + 4 + 8 * i), kSounds[i].id) << "entry " << i;
        if (i > 0) {
            EXPECT_GT(U32(wave, kHeadSize + 8 + 8 * i), U32(wave, kHeadSize + 8 * i))
                << "entry " << i;
        }
    }
}

TEST(WaveList, RecordsLieBackToBackUpToTheEnd)
{
    const Bytes wave = Resource("wave_list");
    const auto records = Records();
    ASSERT_EQ(records.size(), kSoundCount);
    const std::size_t base = kHeadSize + 4 + 8 * kSoundCount;
    EXPECT_EQ(base, 828u);
    for (std::size_t i = 0; i + 1 < records.size(); ++i) {
        EXPECT_EQ(records[i].offset + records[i].size, records[i + 1].offset) << "record " << i;
    }
    EXPECT_EQ(base + records.back().offset + records.back().size, wave.size());
}

TEST(WaveList, EveryRecordCarriesItsIdAndName)
{
    const auto records = Records();
    ASSERT_EQ(records.size(), kSoundCount);
    for (std::size_t i = 0; i < kSoundCount; ++i) {
        SCOPED_TRACE(kSounds[i].name);
        const Record& r = records[i];
        EXPECT_EQ(r.id, r.directory_id);
        EXPECT_EQ(r.id, kSounds[i].id);
        const auto expected = k64::Utf8ToCp1251(std::string(kSounds[i].name) + ".wav");
        ASSERT_TRUE(expected.has_value());
        ASSERT_GE(r.name.size(), kNameEnd.size());
        EXPECT_TRUE(r.name.ends_with(kNameEnd)) << "name must end in .wav and three zero bytes";
        EXPECT_EQ(r.name.substr(0, r.name.size() - 3), *expected);
    }
}

struct NamedCase {
    std::uint32_t id;
    std::string_view cp1251;  // the name field exactly as stored
};

// Spelled out byte by byte, so a wrong code page in the generator cannot hide behind the same
// conversion used on both sides.
constexpr NamedCase kNamedCases[] = {
    {1, std::string_view("\xE3\xEB\xE0\xE2\xED\xEE\xE5 \xEC\xE5\xED\xFE.wav\0\0\0", 19)},
    {259, std::string_view("xray.wav\0\0\0", 11)},
    {998, std::string_view("\xE8.wav\0\0\0", 8)},
    {1030, std::string_view("\xF1\xF2\xEE.wav\0\0\0", 10)},
};

TEST(WaveList, NamesAreWindows1251)
{
    const auto records = Records();
    for (const auto& c : kNamedCases) {
        const auto it = std::find_if(records.begin(), records.end(),
                                     [&](const Record& r) { return r.id == c.id; });
        ASSERT_NE(it, records.end()) << "no sound " << c.id;
        EXPECT_EQ(it->name, c.cp1251) << "sound " << c.id;
    }
}

// The prompts are meant to be heard: unsigned samples around 0x80, speech in the middle, quiet
// at the edges, never at the rails, and a length a spoken word can have.
TEST(WaveList, SamplesAreAudibleUnclippedSpeech)
{
    const auto records = Records();
    ASSERT_EQ(records.size(), kSoundCount);
    for (std::size_t i = 0; i < kSoundCount; ++i) {
        SCOPED_TRACE(kSounds[i].name);
        const Bytes s = records[i].samples;
        ASSERT_GE(s.size(), kSampleRate / 10);
        EXPECT_LE(s.size(), 3 * kSampleRate);
        EXPECT_EQ(s.front(), 0x80);
        EXPECT_EQ(s.back(), 0x80);
        const auto [low, high] = std::minmax_element(s.begin(), s.end());
        EXPECT_GT(*low, 0x00);
        EXPECT_LT(*high, 0xFF);
        EXPECT_GE(std::max(0x80 - *low, *high - 0x80), 32) << "too quiet to be a prompt";
    }
}

}  // namespace
