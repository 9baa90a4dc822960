// Settings files on a real file system: contents, round trips, and saves that must fail safely.

#include "parameters/parameter_list.h"
#include "parameters/settings_file.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace k64 {
namespace {

namespace fs = std::filesystem;

class SettingsFile : public ::testing::Test {
protected:
    void SetUp() override
    {
        std::string pattern = (fs::temp_directory_path() / "k64-settings-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        dir_ = pattern;
    }
    void TearDown() override
    {
        std::error_code ignored;
        fs::remove_all(dir_, ignored);
    }

    static std::string Contents(const fs::path& path)
    {
        std::ifstream in(path, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    static void Put(const fs::path& path, const std::string& bytes)
    {
        std::ofstream(path, std::ios::binary) << bytes;
    }
    // Every entry of the folder, so a left-over temporary file shows up.
    std::vector<std::string> Entries() const
    {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(dir_))
            names.push_back(entry.path().filename().string());
        std::sort(names.begin(), names.end());
        return names;
    }

    fs::path dir_;
};

TEST_F(SettingsFile, WorkedExampleRoundTrip)
{
    ParameterList list;
    list.ReadText("");
    list.SetValue("MicLevel", "10");
    list.SetValue("NoteKick", "4");
    const fs::path file = dir_ / "s.txt";
    ASSERT_TRUE(WriteSettingsFile(file, list).Ok());
    EXPECT_EQ(Contents(file), "MicLevel=10\r\nNoteKick=4\r\n");
    EXPECT_EQ(fs::file_size(file), 25u);
    EXPECT_EQ(Entries(), std::vector<std::string>{"s.txt"});

    ParameterList back;
    back.SetValue("AccLow", "1");
    ASSERT_TRUE(ReadSettingsFile(file, back).Ok());
    for (std::size_t i = 0; i < list.parameters.size(); ++i)
        EXPECT_EQ(back.parameters[i].value, list.parameters[i].value) << list.parameters[i].key;
}

TEST_F(SettingsFile, AllDefaultsGiveAnEmptyFile)
{
    ParameterList list;
    list.ReadText("");
    const fs::path file = dir_ / "empty.txt";
    Put(file, "old contents");
    ASSERT_TRUE(WriteSettingsFile(file, list).Ok());
    EXPECT_EQ(fs::file_size(file), 0u);
}

TEST_F(SettingsFile, ReadsAnyLineEnds)
{
    const std::string files[] = {
        "MicLevel=10\r\nNoteKick=4\r\n",
        "MicLevel=10\nNoteKick=4",
        "MicLevel=10\rNoteKick=4\r",
        "\r\n\r\nMicLevel=10\n\r\nNoteKick=4\n\n",
    };
    for (const std::string& bytes : files) {
        Put(dir_ / "in.txt", bytes);
        ParameterList list;
        ASSERT_TRUE(ReadSettingsFile(dir_ / "in.txt", list).Ok());
        EXPECT_EQ(list.parameters[list.IndexOfKey("MicLevel")].value, "10");
        EXPECT_EQ(list.parameters[list.IndexOfKey("NoteKick")].value, "4");
        EXPECT_EQ(list.WriteText(false), "MicLevel=10\nNoteKick=4\n");
    }
}

// A refused read leaves the values of the last good one, and says what the file is.
TEST_F(SettingsFile, RefusedReadsTable)
{
    const std::string utf16le("M\0i\0c\0L\0e\0v\0e\0l\0=\0\x33\0\r\0\n\0", 24);
    Put(dir_ / "huge.txt", std::string(kMaxSettingsFileSize + 1, 'x'));
    Put(dir_ / "binary.txt", std::string("MicLevel=3\r\n\x7F"
                                         "ELF\x02\x01",
                                         16));
    Put(dir_ / "zero.txt", std::string("MicLevel=3\0\r\n", 13));
    Put(dir_ / "utf16.txt", "\xFF\xFE" + utf16le);
    Put(dir_ / "utf16-unmarked.txt", utf16le);
    Put(dir_ / "passwd.txt", "root:x:0:0:root:/root:/bin/bash\nmiclevel=3\n MicLevel=3\n");
    const std::string utf16 = "(файл в кодировке UTF-16; сохраните его в UTF-8 или Windows-1251)";
    struct Case {
        fs::path path;
        SettingsFileStatus status;
        std::string reason;  // the end of the message
    } cases[] = {
        {dir_ / "missing.txt", SettingsFileStatus::CannotOpen, "(нет такого файла или папки)"},
        {dir_, SettingsFileStatus::NotAFile, ""},
        {dir_ / "huge.txt", SettingsFileStatus::TooLarge, ""},
        {"/dev/zero", SettingsFileStatus::NotAFile, ""},
        {dir_ / "binary.txt", SettingsFileStatus::Binary, "(двоичные данные)"},
        {dir_ / "zero.txt", SettingsFileStatus::Binary, "(двоичные данные)"},
        {dir_ / "utf16.txt", SettingsFileStatus::Utf16, utf16},
        {dir_ / "utf16-unmarked.txt", SettingsFileStatus::Utf16, utf16},
        {dir_ / "passwd.txt", SettingsFileStatus::NoKnownKey, ""},
    };
    for (const Case& c : cases) {
        ParameterList list;
        list.ReadText("MicLevel=3");
        const SettingsFileResult result = ReadSettingsFile(c.path, list);
        EXPECT_EQ(result.status, c.status) << c.path;
        EXPECT_EQ(list.WriteText(false), "MicLevel=3\n") << c.path;
        const std::string text = DescribeSettingsFileResult(result, c.path);
        EXPECT_NE(text.find(c.path.string()), std::string::npos) << text;
        EXPECT_TRUE(text.ends_with(c.reason)) << text;
    }
}

// What editors save: Windows-1251 as before, UTF-8 with or without its mark converted, and a
// character Windows-1251 has no place for refused with its line, the list left as it was.
TEST_F(SettingsFile, EncodingsTable)
{
    const std::string mark = "\xEF\xBB\xBF";
    struct Case {
        const char* name;
        std::string bytes;
        std::string balans;  // the value read, in Windows-1251; the old one when refused
        std::size_t line;    // of a refusal, 0 for a read
        std::string character;
    } cases[] = {
        {"cp1251", "Balans=*100#\xC1\r\n", "*100#\xC1", 0, ""},
        {"cp1251 that is no UTF-8", "Balans=\xCF\xC8\xCD\r\n", "\xCF\xC8\xCD", 0, ""},
        {"utf-8", "Balans=*100#\xD0\x91\r\n", "*100#\xC1", 0, ""},
        {"utf-8 with mark", mark + "Balans=\xE2\x84\x96\xD1\x91\n", "\xB9\xB8", 0, ""},
        {"ascii with mark", mark + "Balans=*100#\r\n", "*100#", 0, ""},
        {"not in cp1251", "MicLevel=1\r\n\r\nBalans=\xCE\xA9\r\n", "old", 3,
         "\"\xCE\xA9\" (U+03A9)"},
        {"mark before cp1251", mark + "MicLevel=1\rBalans=\xC1\r", "old", 2, "0xC1"},
    };
    for (const Case& c : cases) {
        Put(dir_ / "in.txt", c.bytes);
        ParameterList list;
        list.ReadText("Balans=old");
        const SettingsFileResult result = ReadSettingsFile(dir_ / "in.txt", list);
        EXPECT_EQ(result.Ok(), c.line == 0) << c.name;
        EXPECT_EQ(result.line, c.line) << c.name;
        EXPECT_EQ(result.character, c.character) << c.name;
        EXPECT_EQ(list.parameters[list.IndexOfKey("Balans")].value, c.balans) << c.name;
        if (c.line != 0) {
            EXPECT_NE(DescribeSettingsFileResult(result, "in.txt")
                          .find(", строка " + std::to_string(c.line)),
                      std::string::npos)
                << c.name;
        }
    }
}

// Lines that name no parameter are skipped and listed (the first ten), blank ones are not.
TEST(SettingsText, SkippedLinesTable)
{
    const ParameterList list;
    std::string many;
    for (int i = 0; i < 12; ++i)
        many += "x" + std::to_string(i) + "=1\n";
    struct Case {
        std::string text;
        std::vector<std::string> skipped;
        std::size_t count;
    } cases[] = {
        {"", {}, 0},
        {" \t\r\n\r\n", {}, 0},
        {"MicLevel=3", {}, 0},
        {"hello\r\nMicLevel=3\r\n\tfoo=bar", {"hello", "\tfoo=bar"}, 2},
        {many + "MicLevel=3",
         {"x0=1", "x1=1", "x2=1", "x3=1", "x4=1", "x5=1", "x6=1", "x7=1", "x8=1", "x9=1"},
         12},
    };
    for (const Case& c : cases) {
        const SettingsFileResult result = CheckSettingsText(c.text, list);
        EXPECT_TRUE(result.Ok()) << c.text;
        EXPECT_EQ(result.skipped, c.skipped) << c.text;
        EXPECT_EQ(result.skippedCount, c.count) << c.text;
    }
}

TEST_F(SettingsFile, FileOfExactlyTheLimitIsRead)
{
    std::string bytes = "MicLevel=10\r\n";
    bytes.resize(kMaxSettingsFileSize, '\n');
    Put(dir_ / "big.txt", bytes);
    ParameterList list;
    ASSERT_TRUE(ReadSettingsFile(dir_ / "big.txt", list).Ok());
    EXPECT_EQ(list.WriteText(false), "MicLevel=10\n");
}

TEST_F(SettingsFile, SaveIntoMissingFolderFailsAndCreatesNothing)
{
    ParameterList list;
    const SettingsFileResult result = WriteSettingsFile(dir_ / "no" / "s.txt", list);
    EXPECT_EQ(result.status, SettingsFileStatus::WriteFailed);
    EXPECT_NE(result.error, 0);
    EXPECT_TRUE(Entries().empty());
}

// A save that fails part way (here the file size limit, which binds root too) leaves the old file
// as it was. Run in a child so the limit cannot touch the test program's own output.
TEST_F(SettingsFile, SaveFailingMidWriteKeepsTheOldFile)
{
    const fs::path file = dir_ / "s.txt";
    Put(file, "MicLevel=5\r\n");
    ParameterList list;
    list.ReadText("");
    list.SetValue("Balans", std::string(200, 'b'));

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{64, 64};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        const SettingsFileResult result = WriteSettingsFile(file, list);
        _exit(result.status == SettingsFileStatus::WriteFailed && result.error == EFBIG ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0) << "the save should fail with EFBIG";
    EXPECT_EQ(Contents(file), "MicLevel=5\r\n");
    EXPECT_EQ(Entries(), std::vector<std::string>{"s.txt"});
}

TEST_F(SettingsFile, ReplacedFileKeepsItsModeNewFileIsReadable)
{
    ParameterList list;
    const fs::path old = dir_ / "old.txt";
    Put(old, "x");
    ::chmod(old.c_str(), 0600);
    ASSERT_TRUE(WriteSettingsFile(old, list).Ok());
    struct stat info {};
    ASSERT_EQ(::stat(old.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0600u);

    // A new file gets what any other program's new file would: 0666 less the umask.
    for (const mode_t mask : {mode_t{022}, mode_t{077}}) {
        const mode_t previous = ::umask(mask);
        const fs::path created = dir_ / ("new" + std::to_string(mask) + ".txt");
        const bool ok = WriteSettingsFile(created, list).Ok();
        ::umask(previous);
        ASSERT_TRUE(ok);
        ASSERT_EQ(::stat(created.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 07777, 0666u & ~mask) << "umask " << mask;
    }
}

// Where a save may write, on real file system objects: only a regular file, a new name, or a
// link's regular target (the link stays). Whatever else stands at the path stays as it was, and
// no temporary file is left behind.
TEST_F(SettingsFile, SaveTargetsTable)
{
    int pipeEnds[2];
    ASSERT_EQ(::pipe(pipeEnds), 0);
    Put(dir_ / "real.txt", "old");
    fs::create_symlink("real.txt", dir_ / "link.txt");
    ASSERT_EQ(::mkfifo((dir_ / "fifo").c_str(), 0644), 0);
    fs::create_symlink("nowhere/s.txt", dir_ / "dangling");
    fs::create_symlink("/proc/self/fd/" + std::to_string(pipeEnds[1]), dir_ / "to-pipe");
    fs::create_symlink("/dev/null", dir_ / "to-device");
    fs::create_directory(dir_ / "folder");
    struct Case {
        std::string name;
        SettingsFileStatus status;
        std::string written;  // where the contents go, on success
        fs::file_type typeAfter;
    } cases[] = {
        {"real.txt", SettingsFileStatus::Ok, "real.txt", fs::file_type::regular},
        {"new.txt", SettingsFileStatus::Ok, "new.txt", fs::file_type::regular},
        {"link.txt", SettingsFileStatus::Ok, "real.txt", fs::file_type::symlink},
        {"fifo", SettingsFileStatus::NotAFile, "", fs::file_type::fifo},
        {"dangling", SettingsFileStatus::NotAFile, "", fs::file_type::symlink},
        {"to-pipe", SettingsFileStatus::NotAFile, "", fs::file_type::symlink},
        {"to-device", SettingsFileStatus::NotAFile, "", fs::file_type::symlink},
        {"folder", SettingsFileStatus::WriteFailed, "", fs::file_type::directory},
    };
    ParameterList list;
    list.ReadText("MicLevel=3");
    for (const Case& c : cases) {
        const fs::path path = dir_ / c.name;
        EXPECT_EQ(WriteSettingsFile(path, list).status, c.status) << c.name;
        EXPECT_EQ(fs::symlink_status(path).type(), c.typeAfter) << c.name;
        if (!c.written.empty()) {
            EXPECT_EQ(Contents(dir_ / c.written), "MicLevel=3\r\n") << c.name;
        }
    }
    // A device node itself (here the one every system has) is refused and stays one.
    EXPECT_EQ(WriteSettingsFile("/dev/null", list).status, SettingsFileStatus::NotAFile);
    EXPECT_TRUE(fs::is_character_file("/dev/null"));
    ::close(pipeEnds[0]);
    ::close(pipeEnds[1]);
    EXPECT_EQ(Entries(), (std::vector<std::string>{"dangling", "fifo", "folder", "link.txt",
                                                   "new.txt", "real.txt", "to-device", "to-pipe"}));
}

TEST_F(SettingsFile, RelativePathSavesInTheWorkingFolder)
{
    const fs::path before = fs::current_path();
    fs::current_path(dir_);
    ParameterList list;
    list.ReadText("MicLevel=2");
    const bool ok = WriteSettingsFile("rel.txt", list).Ok();
    fs::current_path(before);
    ASSERT_TRUE(ok);
    EXPECT_EQ(Contents(dir_ / "rel.txt"), "MicLevel=2\r\n");
}

}  // namespace
}  // namespace k64
