// k64ctl --json: each command's document parsed back, with the keys scripts rely on; messages
// stay on standard error, and a failure is a document too.

#include "support/child_process.h"
#include "support/sim_process.h"
#include "support/temp_dir.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <set>
#include <string>
#include <vector>

namespace k64::test {
namespace {

using Json = nlohmann::json;
using Keys = std::set<std::string>;

Keys KeysOf(const Json& object)
{
    Keys keys;
    for (const auto& [key, value] : object.items())
        keys.insert(key);
    return keys;
}

TEST(CliJson, EveryCommandPrintsOneDocument)
{
    TempDir dir;
    SimProcess sim(SimProgram(), {"--id", "16001234"});
    ASSERT_TRUE(sim.Started());
    const std::string port = sim.PtyPath();
    const auto run = [&](std::vector<std::string> args) {
        args.insert(args.begin(), {K64CTL_PATH, "--json"});
        const ProgramResult r =
            RunProgram(args, {"HOME=" + (dir / "home"), "XDG_CONFIG_HOME=" + (dir / "config"),
                              "K64_HISTORY_DIR=" + (dir / "history"), "K64_EXTRA_PORTS=" + port,
                              "LANG=C.UTF-8"});
        EXPECT_EQ(r.failure, "");
        return r;
    };
    ASSERT_EQ(run({"--port", port, "backup"}).status, 0);

    struct Case {
        std::vector<std::string> args;
        int status;
        bool list;  // a list of objects, each with these keys
        Keys keys;
    };
    const Case cases[] = {
        {{"--port", port, "id"}, 0, false, {"port", "serial"}},
        {{"--port", port, "version"},
         0,
         false,
         {"port", "type", "shown_type", "version", "build_date"}},
        {{"ports"},
         0,
         true,
         {"port", "vendor_id", "product_id", "manufacturer", "product", "serial"}},
        {{"find"}, 0, false, {"port", "serial", "type", "version"}},
        {{"--port", port, "read-settings"}, 0, false, {"port", "serial", "settings"}},
        {{"params"}, 0, true, {"key", "name", "group", "type", "min", "max", "default", "items"}},
        {{"history"}, 0, true, {"time", "serial", "changed", "path"}},
        {{"--port", port, "diff", "latest"}, 0, false, {"equal", "differences"}},
        {{"--ports", port, "id"}, 0, false, {"units"}},
        {{"--port", dir / "absent", "id"}, 1, false, {"error"}},
    };
    for (const Case& c : cases) {
        const std::string name = c.args[c.args.size() > 2 ? 2 : 0];
        const ProgramResult r = run(c.args);
        EXPECT_EQ(r.status, c.status) << name << r.err;
        Json document;
        ASSERT_NO_THROW(document = Json::parse(r.out)) << name << r.out;
        if (c.list) {
            ASSERT_TRUE(document.is_array()) << name;
            ASSERT_FALSE(document.empty()) << name;
            for (const Json& entry : document)
                EXPECT_EQ(KeysOf(entry), c.keys) << name;
        } else {
            EXPECT_EQ(KeysOf(document), c.keys) << name;
        }
    }

    // The values, where a script would read them.
    const Json id = Json::parse(run({"--port", port, "id"}).out);
    EXPECT_EQ(id["serial"], "16001234");
    EXPECT_EQ(id["port"], port);
    const Json ports = Json::parse(run({"ports"}).out);
    EXPECT_EQ(ports.back()["port"], port);
    EXPECT_TRUE(ports.back()["vendor_id"].is_null());  // a pty has no USB details
    const Json settings = Json::parse(run({"--port", port, "read-settings"}).out);
    EXPECT_TRUE(settings["settings"].is_object());
    EXPECT_FALSE(settings["settings"].empty());
    EXPECT_EQ(Json::parse(run({"--port", port, "diff", "latest"}).out)["equal"], true);
    // A run on many units gives each unit what the command gives of one.
    const Json version = Json::parse(run({"--port", port, "version"}).out);
    const Json unit = Json::parse(run({"--ports", port, "version"}).out)["units"][0];
    EXPECT_EQ(KeysOf(unit), (Keys{"port", "serial", "ok", "error", "seconds", "type", "shown_type",
                                  "version", "build_date"}));
    for (const char* key : {"type", "shown_type", "version", "build_date"})
        EXPECT_EQ(unit[key], version[key]) << key;
    const ProgramResult failed = run({"--port", dir / "absent", "id"});
    const Json error = Json::parse(failed.out)["error"];
    EXPECT_EQ(error["exit_code"], 1);
    EXPECT_NE(error["message"].get<std::string>(), "");
    EXPECT_NE(failed.err.find(error["message"].get<std::string>()), std::string::npos);
}

// With --json, every failure is one document on standard output with the reason in it, the
// exit status its exit_code: usage mistakes included, which a script cannot tell from success
// by an empty output (jq reads nothing and exits 0).
TEST(CliJson, EveryFailureIsADocumentWithItsReason)
{
    TempDir dir;
    const struct {
        std::vector<std::string> args;
        int status;
        std::string message;
    } cases[] = {
        {{"--ports", "a,a", "id"}, 2, "--ports: порт указан дважды"},
        {{"--ports", "a", "--jobs", "0", "id"}, 2, "--jobs: нужно число от 1 до 1000, а не 0"},
        {{"frobnicate"}, 2, "неизвестная команда frobnicate"},
        {{"id", "--frob"}, 2, "неизвестный параметр --frob"},
        {{"--port=", "id"}, 2, "--port: пустое имя порта"},
        {{"diag", "--seconds", "x"}, 2, "--seconds: нужно число секунд от 0 до 86400, а не x"},
        {{"--ports", "a", "read-settings", "--output-dir", dir / "missing"},
         2,
         "--output-dir: нет такой папки: " + dir / "missing"},
        {{"--port", dir / "absent", "id"},
         1,
         "Порт " + dir / "absent" + " не найден: блок не подключен; выполните k64ctl doctor"},
        {{"--port", dir / "absent", "doctor"}, 1, "Порт " + dir / "absent" + " не найден."},
    };
    for (const auto& c : cases) {
        std::vector<std::string> argv{K64CTL_PATH};
        argv.insert(argv.end(), c.args.begin(), c.args.end());
        argv.push_back("--json");
        const ProgramResult r =
            RunProgram(argv, {"HOME=" + (dir / "home"), "XDG_CONFIG_HOME=" + (dir / "config"),
                              "LANG=C.UTF-8"});
        EXPECT_EQ(r.status, c.status) << c.message;
        Json document;
        ASSERT_NO_THROW(document = Json::parse(r.out)) << c.message << ": " << r.out;
        EXPECT_EQ(document, (Json{{"error", {{"message", c.message}, {"exit_code", c.status}}}}));
    }
}

}  // namespace
}  // namespace k64::test
