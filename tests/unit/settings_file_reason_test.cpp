// The reason a settings file box gives is in Russian for the failures a user meets.

#include "parameters/parameter_list.h"
#include "parameters/settings_file.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace k64 {
namespace {

TEST(SettingsFileReason, RealFailuresAreExplainedInRussian)
{
    test::TempDir dir;
    std::ofstream(dir / "plain.txt") << "MicLevel=3\r\n";
    std::filesystem::create_symlink(dir / "loop.txt", dir / "loop.txt");
    ParameterList list;
    const struct {
        SettingsFileResult result;
        const char* reason;
    } cases[] = {
        {ReadSettingsFile(dir / "missing.txt", list), "(нет такого файла или папки)"},
        {WriteSettingsFile(dir / "no/such/folder.txt", list), "(нет такого файла или папки)"},
        {WriteSettingsFile(dir / "plain.txt/inside.txt", list), "(часть пути не является папкой)"},
        {WriteSettingsFile(dir.Path(), list), "(это папка)"},
        {ReadSettingsFile(dir / "loop.txt", list), "(ссылки образуют петлю)"},
    };
    for (const auto& c : cases) {
        ASSERT_FALSE(c.result.Ok()) << c.reason;
        const std::string text = DescribeSettingsFileResult(c.result, "f.txt");
        EXPECT_NE(text.find(c.reason), std::string::npos) << text;
    }
}

}  // namespace
}  // namespace k64
