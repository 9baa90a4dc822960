// The simulator's state directory.
#include "sim/state_store.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include <unistd.h>

namespace k64::sim {
namespace {

namespace fs = std::filesystem;

std::string FreshDir(const std::string& name)
{
    const fs::path dir = fs::path(::testing::TempDir()) / (name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    return dir.string();
}

TEST(SimStateStore, RoundTrip)
{
    const std::string dir = FreshDir("sim_store_round");
    UnitState saved;
    saved.id = 99;
    saved.settings = "A=1\nB=2\n";
    saved.firmware = {"K64_r2", "000.014", "Sep 29 2016"};
    saved.firmwareSize = 74536;
    saved.firmwareCrc = 0xDEADBEEF;
    saved.sound = {8, 0, 0, 0, 1, 2, 3, 4};
    {
        StateStore store(dir);
        UnitState scratch;
        std::vector<std::string> warnings;
        ASSERT_TRUE(store.Load(scratch, warnings));
        std::string error;
        ASSERT_TRUE(store.Save(saved, error)) << error;
    }
    StateStore store(dir);
    UnitState loaded;
    std::vector<std::string> warnings;
    ASSERT_TRUE(store.Load(loaded, warnings));
    EXPECT_TRUE(warnings.empty());
    EXPECT_EQ(loaded, saved);
    for (const auto& entry : fs::directory_iterator(dir)) {
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos);
    }
}

TEST(SimStateStore, DamagedFilesAreIgnored)
{
    const struct {
        const char* file;
        std::string content;
    } cases[] = {
        {"id", "seven"},
        {"id", "123456789012345678901234"},
        {"settings.txt", std::string(kMaxSettingsText + 1, 's')},
        {"firmware.bin", std::string(50, 'f')},
    };
    for (const auto& c : cases) {
        const std::string dir = FreshDir("sim_store_damaged");
        fs::create_directories(dir);
        std::ofstream(dir + "/" + c.file, std::ios::binary) << c.content;
        UnitState state;
        state.id = 5;
        state.firmware = {"K64_r2", "000.013", "d"};
        const UnitState before = state;
        StateStore store(dir);
        std::vector<std::string> warnings;
        ASSERT_TRUE(store.Load(state, warnings));
        EXPECT_EQ(warnings.size(), 1u) << c.file;
        EXPECT_EQ(state, before) << c.file;
    }
}

}  // namespace
}  // namespace k64::sim
