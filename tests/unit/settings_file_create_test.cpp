// Files that must be new, and recordings that must not outlive their program, on the system's
// own calls: built for Linux and for Windows (run under Wine), where they differ most.

#include "parameters/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>
#include <vector>

namespace k64 {
namespace {

namespace fs = std::filesystem;

class NewFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto now = std::chrono::steady_clock::now().time_since_epoch().count();
        dir_ = fs::temp_directory_path() / ("k64-new-files-" + std::to_string(now));
        ASSERT_TRUE(fs::create_directory(dir_));
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
    static std::string Contents(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }

    fs::path dir_;
};

// A name that is taken stays as it was, and nothing is left beside it.
TEST_F(NewFiles, CreateNeverReplaces)
{
    ASSERT_TRUE(CreateFileAtomically(dir_ / "entry.txt", "first").Ok());
    const SettingsFileResult second = CreateFileAtomically(dir_ / "entry.txt", "second");
    EXPECT_EQ(second.status, SettingsFileStatus::WriteFailed);
    EXPECT_EQ(second.error, EEXIST);
    EXPECT_EQ(Contents(dir_ / "entry.txt"), "first");
    EXPECT_EQ(Names(), std::vector<std::string>{"entry.txt"});
}

// A recording whose program still runs is kept; one whose program is gone is removed.
TEST_F(NewFiles, OnlyAbandonedRecordingsAreRemoved)
{
    std::ofstream(dir_ / "diagnostic-1-abandoned.csv") << "time,tag,x,y,z,text\r\n";
    std::ofstream(dir_ / "notes.csv") << "mine\r\n";
    std::unique_ptr<AppendFile> live = AppendFile::CreateTemporary(dir_);
    ASSERT_EQ(live->Error(), 0);
    ASSERT_TRUE(live->Append("time,tag,x,y,z,text\r\n"));
    const std::string name = live->Path().filename().string();
    AppendFile::RemoveAbandoned(dir_);
    EXPECT_EQ(Names(), (std::vector<std::string>{name, "notes.csv"}));
    live.reset();
    EXPECT_EQ(Names(), std::vector<std::string>{"notes.csv"});
}

}  // namespace
}  // namespace k64
