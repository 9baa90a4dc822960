// The settings history on a real folder: entry names, the order of a listing, and no second
// entry for settings the unit's newest entry already holds.

#include "parameters/settings_history.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace k64 {
namespace {

std::vector<std::string> Names(const std::vector<HistoryEntry>& entries)
{
    std::vector<std::string> names;
    for (const HistoryEntry& entry : entries)
        names.push_back(entry.path.filename().string());
    return names;
}

TEST(SettingsHistory, NamesOrderAndRepeats)
{
    test::TempDir folder;
    const std::time_t noon = 1'765'195'200;  // any fixed moment; names use local time
    ParameterList list;
    list.ReadText("MicLevel=10");
    std::tm local = *std::localtime(&noon);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y-%m-%d_%H-%M-%S", &local);
    const std::string at(stamp);

    struct Step {
        std::string serial;
        std::string values;
        std::time_t when;
        std::string name;  // of the entry that holds the values afterwards
        bool written;
    } steps[] = {
        {"16001234", "MicLevel=10", noon, at + "_16001234.txt", true},
        {"16001234", "MicLevel=10", noon + 5, at + "_16001234.txt", false},  // the same: kept once
        {"16001234", "MicLevel=11", noon, at + "_16001234_2.txt", true},  // same second, new values
        {"16001234", "MicLevel=10", noon, at + "_16001234_3.txt", true},  // back again: a new entry
        {"-1", "MicLevel=10", noon, at + "_-1.txt", true},                // another unit's first
        {kUnknownUnit, "", noon, at + "_unknown.txt", true},
    };
    for (const Step& step : steps) {
        list.ReadText(step.values);
        const StoredEntry stored =
            StoreHistoryEntry(folder.Path() + "/history", step.serial, list, step.when);
        EXPECT_TRUE(stored.result.Ok()) << step.name;
        EXPECT_EQ(stored.path.filename().string(), step.name);
        EXPECT_EQ(stored.written, step.written) << step.name;
    }
    // Files of other names are no entries.
    for (const std::string& other :
         {std::string("notes.txt"), at + "_abc.txt", at + "_16001234_1.txt", at + ".txt"})
        std::ofstream(folder / ("history/" + other)) << "MicLevel=1\r\n";

    EXPECT_EQ(Names(ListHistory(folder / "history", "16001234")),
              (std::vector<std::string>{at + "_16001234_3.txt", at + "_16001234_2.txt",
                                        at + "_16001234.txt"}));
    const std::vector<HistoryEntry> all = ListHistory(folder / "history");
    EXPECT_EQ(all.size(), 5u);
    EXPECT_EQ(all.front().time,
              std::string(at).replace(10, 1, " ").replace(13, 1, ":").replace(16, 1, ":"));
    EXPECT_TRUE(ListHistory(folder / "missing").empty());
}

}  // namespace
}  // namespace k64
