// Loading the firmware image and the sound container: what the window shows and what the
// transfers will send, including images whose version record is broken or cut short.

#include "common/cp1251.h"
#include "resources/resources.h"
#include "support/recording_update_view.h"
#include "update/firmware_update.h"
#include "update/sound_update.h"
#include "update/version_check.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <span>
#include <string>
#include <vector>

namespace k64 {
namespace {

using test::RecordingUpdateView;

// An image of `size` bytes with the given texts written into its version record.
std::vector<unsigned char> Image(std::size_t size, const std::string& type,
                                 const std::string& version)
{
    std::vector<unsigned char> image(size, 0x5A);
    std::fill_n(image.begin() + 256, std::min<std::size_t>(96, size > 256 ? size - 256 : 0), 0);
    auto put = [&](std::size_t at, const std::string& s) {
        for (std::size_t i = 0; i < s.size() && at + i < size; ++i)
            image[at + i] = s[i];
    };
    put(256, type);
    put(256 + 48, version);
    return image;
}

// A record text as the window shows it: up to its zero, converted from Windows-1251.
std::string Shown(std::span<const unsigned char> field)
{
    const auto end = std::find(field.begin(), field.end(), 0);
    return Cp1251ToUtf8(std::string(field.begin(), end));
}

// The window shows the record of whatever image the build embeds.
TEST(UpdateLoadTest, EmbeddedImageFillsBufferTitleAndCaption)
{
    const auto image = resources::Find("blow");
    ASSERT_TRUE(image.has_value());
    RecordingUpdateView view;
    FirmwareUpdate firmware(view);
    ASSERT_TRUE(firmware.LoadFirmwareImage());
    EXPECT_EQ(firmware.BlowSize, static_cast<std::int32_t>(image->size()));
    std::vector<unsigned char> buffer(8, 0xFF);
    buffer.insert(buffer.end(), image->begin(), image->end());
    EXPECT_EQ(firmware.BlowBuffer, buffer);

    const std::string type = Shown(image->subspan(256, 48));
    const std::string version = Shown(image->subspan(256 + 48, 16));
    EXPECT_EQ(view.blowCaption, "Обновить прошивку до " + version);
    // The title's type is the record's, shortened for one type only (the table below).
    const std::size_t separator = view.title.find("     Версия: ");
    ASSERT_TRUE(separator > 0 && separator != std::string::npos) << view.title;
    EXPECT_TRUE(type.starts_with(view.title.substr(0, separator))) << view.title;
    EXPECT_EQ(view.title.substr(separator), "     Версия: " + version);
    EXPECT_FALSE(firmware.BlowActive);
}

struct TitleCase {
    std::string type, version, title, caption;
};

class UpdateTitleTest : public ::testing::TestWithParam<TitleCase> {};

TEST_P(UpdateTitleTest, TitleAndCaption)
{
    const TitleCase& c = GetParam();
    RecordingUpdateView view;
    FirmwareUpdate firmware(view);
    ASSERT_TRUE(firmware.LoadFirmwareImage(Image(2000, c.type, c.version)));
    EXPECT_EQ(view.title, c.title);
    EXPECT_EQ(view.blowCaption, c.caption);
}

const std::string k47(47, 'T'), k48(48, 'T'), k15(15, '9'), k16(16, '9');

INSTANTIATE_TEST_SUITE_P(
    Types, UpdateTitleTest,
    ::testing::Values(
        TitleCase{"K64_r0", "000.001", "K64     Версия: 000.001", "Обновить прошивку до 000.001"},
        TitleCase{"K64_r00", "1", "K64_r00     Версия: 1", "Обновить прошивку до 1"},
        TitleCase{"k64_r0", "1", "k64_r0     Версия: 1", "Обновить прошивку до 1"},
        TitleCase{"K64", "", "K64     Версия: ", "Обновить прошивку до "},
        // Windows-1251 bytes in the record reach the window as UTF-8.
        TitleCase{"\xCA\x36\x34", "\xE2\x31", "К64     Версия: в1", "Обновить прошивку до в1"},
        // Fields without their terminating zero end at their own size, not in the next field.
        TitleCase{k48, k16, k47 + "     Версия: " + k15, "Обновить прошивку до " + k15},
        TitleCase{k47, k15, k47 + "     Версия: " + k15, "Обновить прошивку до " + k15}));

TEST(UpdateLoadTest, ImageTooShortForItsRecordReadsMissingBytesAsEmpty)
{
    struct Case {
        std::size_t size;
        const char* type;
        const char* version;
    };
    const Case cases[] = {{0, "", ""}, {100, "", ""}, {260, "K64_", ""}, {306, "K64_r2", "00"}};
    for (const Case& c : cases) {
        RecordingUpdateView view;
        FirmwareUpdate firmware(view);
        ASSERT_TRUE(firmware.LoadFirmwareImage(Image(c.size, "K64_r2", "000.014"))) << c.size;
        EXPECT_STREQ(firmware.ImageInfo.Type, c.type) << c.size;
        EXPECT_STREQ(firmware.ImageInfo.Version, c.version) << c.size;
        EXPECT_EQ(firmware.BlowSize, static_cast<std::int32_t>(c.size));
        EXPECT_EQ(firmware.BlowBuffer.size(), c.size + 8);
    }
}

TEST(UpdateLoadTest, SoundCaptionNamesDataSize)
{
    struct Case {
        std::size_t size;
        bool loads;
        std::string caption;
    };
    const Case cases[] = {
        {0, false, ""},
        {7, false, ""},
        {8, true, "Обновить звук до 0"},
        {1032, true, "Обновить звук до 1024"},
    };
    for (const Case& c : cases) {
        RecordingUpdateView view;
        SoundUpdate sound(view);
        EXPECT_EQ(sound.LoadSoundData(std::vector<unsigned char>(c.size, 1)), c.loads) << c.size;
        EXPECT_EQ(view.waveCaption, c.caption) << c.size;
        EXPECT_FALSE(sound.WaveStream.has_value());
    }
    // The embedded container: its size without the head, whatever set the build embeds.
    const auto container = resources::Find("wave_list");
    ASSERT_TRUE(container.has_value());
    RecordingUpdateView view;
    SoundUpdate sound(view);
    ASSERT_TRUE(sound.LoadSoundData());
    EXPECT_EQ(view.waveCaption, "Обновить звук до " + std::to_string(container->size() - 8));
}

TEST(UpdateLoadTest, ResourceStreamReadsInBlocksAndRewinds)
{
    std::vector<unsigned char> bytes(2500);
    for (std::size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<unsigned char>(i);
    ResourceStream stream(bytes);
    unsigned char block[1024];
    EXPECT_EQ(stream.Read(block, sizeof block), 1024u);
    EXPECT_EQ(stream.Read(block, sizeof block), 1024u);
    EXPECT_EQ(block[0], static_cast<unsigned char>(1024));
    EXPECT_EQ(stream.Read(block, sizeof block), 452u);
    EXPECT_EQ(block[451], static_cast<unsigned char>(2499));
    EXPECT_EQ(stream.Read(block, sizeof block), 0u);
    stream.Seek(0);
    EXPECT_EQ(stream.Read(block, 8), 8u);
    EXPECT_EQ(block[7], 7);
    stream.Seek(99999);
    EXPECT_EQ(stream.Read(block, 1), 0u);
}

}  // namespace
}  // namespace k64
