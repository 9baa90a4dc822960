// The settings history on a real folder: entry names, the order of a listing whatever the clock
// did, and no second entry for settings the unit's newest entry already holds.

#include "parameters/settings_history.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <set>
#include <string>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace k64 {
namespace {

std::vector<std::string> Names(const std::vector<HistoryEntry>& entries)
{
    std::vector<std::string> names;
    for (const HistoryEntry& entry : entries)
        names.push_back(entry.path.filename().string());
    return names;
}

std::string Stamp(std::time_t when)
{
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", std::localtime(&when));
    return stamp;
}

// "Newest" is the entry stored last, whatever the clock said when each was stored.
TEST(SettingsHistory, NamesOrderAndRepeats)
{
    test::TempDir folder;
    const std::time_t noon = 1'765'195'200;    // any fixed moment; names use local time
    const std::time_t future = 3'976'000'000;  // in 2096: a clock set far ahead
    const std::string at = Stamp(noon), back = Stamp(noon - 3600), ahead = Stamp(future);
    ParameterList list;

    struct Step {
        std::string serial;
        std::string values;
        std::time_t when;
        std::string name;  // of the entry that holds the values afterwards
        bool written;
    } steps[] = {
        {"16001234", "MicLevel=10", noon, at + "_16001234_n1.txt", true},
        {"16001234", "MicLevel=10", noon + 5, at + "_16001234_n1.txt", false},  // the same: once
        {"16001234", "MicLevel=11", future, ahead + "_16001234_n2.txt", true},
        {"16001234", "MicLevel=12", noon - 3600, back + "_16001234_n3.txt", true},  // clock back
        {"16001234", "MicLevel=10", noon, at + "_16001234_n4.txt", true},  // earlier values again
        {"-1", "MicLevel=10", noon, at + "_-1_n5.txt", true},              // another unit's first
        {kUnknownUnit, "", noon, at + "_unknown_n6.txt", true},
    };
    for (const Step& step : steps) {
        list.ReadText(step.values);
        const StoredEntry stored =
            StoreHistoryEntry(folder.Path() + "/history", step.serial, list, step.when);
        EXPECT_TRUE(stored.result.Ok()) << step.name;
        EXPECT_EQ(stored.path.filename().string(), step.name);
        EXPECT_EQ(stored.written, step.written) << step.name;
    }
    // Unnumbered names (stored before the order was kept) come after every numbered one; names
    // of another form, or whose time is no real date and time, are no entries.
    for (const char* other :
         {"2096-01-01_00-00-00_16001234.txt", "2096-01-01_00-00-00_16001234_2.txt",
          "2096-13-45_99-99-99_16001234.txt", "2023-02-29_12-00-00_16001234.txt",
          "2024-02-29_24-00-00_16001234.txt", "notes.txt", "2024-02-29_12-00-00_abc.txt",
          "2024-02-29_12-00-00_16001234_1.txt", "2024-02-29_12-00-00_16001234_n0.txt",
          "2024-02-29_12-00-00_16001234_n+7.txt", "2024-02-29_12-00-00.txt"})
        std::ofstream(folder / (std::string("history/") + other)) << "MicLevel=1\r\n";

    EXPECT_EQ(Names(ListHistory(folder / "history", "16001234")),
              (std::vector<std::string>{at + "_16001234_n4.txt", back + "_16001234_n3.txt",
                                        ahead + "_16001234_n2.txt", at + "_16001234_n1.txt",
                                        "2096-01-01_00-00-00_16001234_2.txt",
                                        "2096-01-01_00-00-00_16001234.txt"}));
    const std::vector<HistoryEntry> all = ListHistory(folder / "history");
    EXPECT_EQ(all.size(), 8u);
    EXPECT_EQ(all.front().time,
              std::string(at).replace(10, 1, " ").replace(13, 1, ":").replace(16, 1, ":"));
    int error = -1;
    EXPECT_TRUE(ListHistory(folder / "missing", "", &error).empty());
    EXPECT_EQ(error, 0);
}

// A history folder that cannot be one is named as the folder, with what stands in its place.
TEST(SettingsHistory, FolderThatCannotBeOneIsNamed)
{
    test::TempDir dir;
    std::ofstream(dir / "file") << "x";
    std::filesystem::create_symlink(dir / "nowhere", dir / "dangling");
    std::filesystem::create_symlink(dir / "loop", dir / "loop");
    const struct {
        const char* name;
        std::string stored;  // the reason the store gives
        std::string listed;  // the reason the listing gives; empty: no failure, no entries
    } cases[] = {
        {"file", "это не папка", "это не папка"},
        {"file/below", "часть пути не является папкой", "часть пути не является папкой"},
        {"dangling", "это ссылка, которая никуда не ведет", ""},
        {"loop", "ссылки образуют петлю", "ссылки образуют петлю"},
    };
    ParameterList list;
    list.ReadText("MicLevel=10");
    for (const auto& c : cases) {
        const std::string folder = dir / c.name;
        const StoredEntry stored = StoreHistoryEntry(folder, "1", list);
        EXPECT_FALSE(stored.result.Ok()) << c.name;
        EXPECT_EQ(DescribeStoreFailure(stored),
                  "Не удалось создать папку истории настроек " + folder + " (" + c.stored + ")");
        int error = 0;
        EXPECT_TRUE(ListHistory(folder, "", &error).empty());
        EXPECT_EQ(error == 0 ? "" : DescribeHistoryFolderFailure(folder, error),
                  c.listed.empty() ? ""
                                   : "Не удалось открыть папку истории настроек " + folder + " (" +
                                         c.listed + ")");
    }
}

// Two processes store an entry for one unit in the same second, round after round until they
// have met on a number: no entry replaces another, no number is given twice, and every value
// is in its file.
TEST(SettingsHistory, ProcessesStoringAtOnceLoseNothing)
{
    test::TempDir dir;
    const std::string folder = dir / "history";
    const std::time_t when = 1'765'195'200;
    constexpr int kMinRounds = 25, kMaxRounds = 2000;
    ParameterList list;
    int rounds = 0;
    unsigned collisions = 0;
    for (; rounds < kMinRounds || (collisions == 0 && rounds < kMaxRounds); ++rounds) {
        int start[2];
        ASSERT_EQ(::pipe(start), 0);
        pid_t children[2];
        for (int i = 0; i < 2; ++i) {
            if ((children[i] = ::fork()) == 0) {
                ::close(start[1]);
                char go;
                (void)!::read(start[0], &go, 1);  // both wake when the parent closes its end
                list.ReadText("Balans=" + std::to_string(rounds) + "." + std::to_string(i));
                const StoredEntry stored = StoreHistoryEntry(folder, "16001234", list, when);
                // The numbers it found taken, or 255 for a failure.
                _exit(stored.written ? static_cast<int>(std::min(stored.passedOver, 100u)) : 255);
            }
        }
        ::close(start[0]);
        ::close(start[1]);
        for (const pid_t child : children) {
            int status = 0;
            ASSERT_EQ(::waitpid(child, &status, 0), child);
            ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 255) << "round " << rounds;
            collisions += static_cast<unsigned>(WEXITSTATUS(status));
        }
    }
    std::cout << "[          ] " << rounds << " rounds, " << collisions << " numbers met\n";
    EXPECT_GT(collisions, 0u) << "the two never met on a number";

    std::set<std::uint64_t> orders;
    std::set<std::string> values;
    for (const HistoryEntry& entry : ListHistory(folder, "16001234")) {
        orders.insert(entry.order);
        ASSERT_TRUE(ReadSettingsFile(entry.path, list).Ok());
        values.insert(list.parameters[list.IndexOfKey("Balans")].value);
    }
    EXPECT_EQ(orders.size(), 2u * rounds);
    EXPECT_EQ(values.size(), 2u * rounds);
}

}  // namespace
}  // namespace k64
