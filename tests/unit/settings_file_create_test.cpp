// Files that must be new, and recordings that must not outlive their program, on the system's
// own calls: built for Linux and for Windows (run under Wine), where they differ most.

#include "parameters/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

namespace k64 {
namespace {

namespace fs = std::filesystem;

// A folder of the test's own (mkdtemp is POSIX only), and the names in it.
struct Folder {
    fs::path path =
        fs::temp_directory_path() /
        ("k64-new-" + std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
    Folder() { fs::create_directory(path); }
    ~Folder()
    {
        std::error_code ignored;
        fs::remove_all(path, ignored);
    }
    std::vector<std::string> Names() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(path))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }
};

// A name that is taken stays as it was, and nothing is left beside it.
TEST(NewFiles, CreateNeverReplaces)
{
    const Folder folder;
    ASSERT_TRUE(CreateFileAtomically(folder.path / "entry.txt", "first").Ok());
    const SettingsFileResult second = CreateFileAtomically(folder.path / "entry.txt", "second");
    EXPECT_EQ(second.status, SettingsFileStatus::WriteFailed);
    EXPECT_EQ(second.error, EEXIST);
    std::string kept;
    std::getline(std::ifstream(folder.path / "entry.txt"), kept);
    EXPECT_EQ(kept, "first");
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"entry.txt"});
}

// A recording whose program still runs is kept; one whose program is gone is removed.
TEST(NewFiles, OnlyAbandonedRecordingsAreRemoved)
{
    const Folder folder;
    std::ofstream(folder.path / "diagnostic-1-abandoned.csv") << "time,tag,x,y,z,text\r\n";
    std::ofstream(folder.path / "notes.csv") << "mine\r\n";
    std::unique_ptr<AppendFile> live = AppendFile::CreateTemporary(folder.path);
    ASSERT_TRUE(live->Append("time,tag,x,y,z,text\r\n"));
    AppendFile::RemoveAbandoned(folder.path);
    EXPECT_EQ(folder.Names(),
              (std::vector<std::string>{live->Path().filename().string(), "notes.csv"}));
    live.reset();
    EXPECT_EQ(folder.Names(), std::vector<std::string>{"notes.csv"});
}

}  // namespace
}  // namespace k64
