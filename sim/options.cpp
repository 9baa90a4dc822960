#include "sim/options.h"

#include <CLI/CLI.hpp>

#include <charconv>
#include <functional>
#include <limits>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace k64::sim {
namespace {

// An hour is far beyond any reply time-out of the tool.
constexpr std::uint64_t kMaxMillis = 3'600'000;
constexpr std::uint64_t kMax64 = std::numeric_limits<std::uint64_t>::max();

// Digits alone, as a person types a count: no sign, no spaces, no base prefix.
std::optional<std::uint64_t> Whole(std::string_view text, std::uint64_t min, std::uint64_t max)
{
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || error != std::errc() || end != text.data() + text.size() || value < min ||
        value > max) {
        return std::nullopt;
    }
    return value;
}

// A validator's text follows the option's name and a colon in the error.
CLI::Validator WholeIn(std::uint64_t min, std::uint64_t max, std::string what)
{
    return CLI::Validator(
        [=](const std::string& value) { return Whole(value, min, max) ? std::string() : what; },
        "");
}

// Texts of the version record keep room for their terminating zero.
CLI::Validator FitsField(std::size_t field)
{
    return CLI::Validator(
        [field](const std::string& value) {
            return value.size() < field ? std::string()
                                        : "takes at most " + std::to_string(field - 1) + " bytes";
        },
        "");
}

std::optional<std::pair<std::uint16_t, std::chrono::milliseconds>> Delay(std::string_view text)
{
    const auto colon = text.find(':');
    if (colon == std::string_view::npos)
        return std::nullopt;
    const auto code = Whole(text.substr(0, colon), 0, kMaxCode);
    const auto ms = Whole(text.substr(colon + 1), 0, kMaxMillis);
    if (!code || !ms)
        return std::nullopt;
    return std::pair(static_cast<std::uint16_t>(*code), std::chrono::milliseconds(*ms));
}

// Milliseconds from `min` to an hour, taken as they are given.
CLI::Option* AddMillis(CLI::App& app, const std::string& name, std::uint64_t min,
                       std::function<void(std::chrono::milliseconds)> take)
{
    return app
        .add_option_function<std::uint32_t>(
            name, [take](std::uint32_t ms) { take(std::chrono::milliseconds(ms)); })
        ->check(WholeIn(min, kMaxMillis,
                        "needs " + std::to_string(min) + " to " + std::to_string(kMaxMillis)));
}

void Define(CLI::App& app, Options& o)
{
    // A value given twice: the last one holds. Flags take no value.
    app.option_defaults()->multi_option_policy(CLI::MultiOptionPolicy::TakeLast);
    app.option_defaults()->disable_flag_override();
    app.set_help_flag();  // the help is our own text
    app.add_flag("-h,--help", o.help);

    app.add_option("--link", o.link);
    app.add_option("--state", o.stateDir);
    app.add_option("--trace", o.traceFile);
    app.add_option("--settings-file", o.settingsFile);

    app.add_option("--id", o.seed.id)
        ->check(WholeIn(0, std::numeric_limits<std::uint32_t>::max(),
                        "needs a number from 0 to 4294967295"));
    app.add_option("--type", o.seed.firmware.type)->check(FitsField(kTypeField));
    app.add_option("--version", o.seed.firmware.version)->check(FitsField(kVersionField));
    app.add_option("--build-date", o.seed.firmware.buildDate)->check(FitsField(kBuildDateField));

    AddMillis(app, "--prepare-delay-ms", 0, [&o](auto ms) { o.prepareDelay = ms; });
    AddMillis(app, "--diag-interval-ms", 10, [&o](auto ms) { o.diagnosticInterval = ms; });
    AddMillis(app, "--knock-after-ms", 0, [&o](auto ms) { o.knockAfter = ms; });
    app.add_option("--diag-flood", o.diagnosticFlood)
        ->check(WholeIn(0, 100'000'000, "needs 0 to 100000000"));
    // From the slowest line a unit has ever had to well past any USB serial adapter.
    app.add_option("--baud", o.baud)->check(WholeIn(300, 4'000'000, "needs 300 to 4000000"));

    // Faults: the options naming a request code may be given again for more codes.
    for (auto [name, codes] : {std::pair("--no-reply", &o.faults.noReply),
                               std::pair("--wrong-reply", &o.faults.wrongReply),
                               std::pair("--malformed-reply", &o.faults.malformedReply)}) {
        app.add_option(name, *codes)
            ->allow_extra_args(false)
            ->check(WholeIn(0, kMaxCode, "needs a code from 0 to 32767"));
    }
    app.add_option_function<std::vector<std::string>>(
           "--delay",
           [&o](const std::vector<std::string>& values) {
               for (const std::string& value : values) {
                   const auto [code, ms] = *Delay(value);  // checked below before this runs
                   o.faults.delay[code] = ms;
               }
           })
        ->allow_extra_args(false)
        ->check(CLI::Validator(
            [](const std::string& value) {
                return Delay(value) ? std::string() : "needs CODE:MS, e.g. 14:1500";
            },
            ""));
    app.add_option("--drop-ack", o.faults.dropAck)
        ->allow_extra_args(false)
        ->check(WholeIn(1, kMax64, "needs a fragment number from 1"));
    app.add_flag("--reject-commit", o.faults.rejectCommit);
    app.add_flag("--reset-settings-on-commit", o.faults.resetSettingsOnCommit);
    app.add_option_function<std::vector<std::string>>("--drop-setting",
                                                      [&o](const std::vector<std::string>& keys) {
                                                          o.faults.dropSettings.insert(keys.begin(),
                                                                                       keys.end());
                                                      })
        ->allow_extra_args(false)
        ->check(CLI::Validator(
            [](const std::string& key) {
                return key.empty() || key.find('=') != std::string::npos ? "needs a settings key"
                                                                         : std::string();
            },
            ""));
    app.add_option_function<std::uint64_t>("--hangup-after",
                                           [&o](std::uint64_t n) { o.hangupAfter = n; })
        ->check(WholeIn(1, kMax64, "needs a frame count from 1"));
}

}  // namespace

ParseResult ParseOptions(std::span<const std::string> args)
{
    ParseResult result;
    Options& o = result.options;
    o.seed.id = kDefaultId;
    o.seed.firmware = {kDefaultType, kDefaultVersion, kDefaultBuildDate};
    std::vector<std::string> given(args.begin(), args.end());
    // Last and without a value, the firmware version option asks for the program's own version.
    if (!given.empty() && given.back() == "--version") {
        o.showVersion = true;
        given.pop_back();
    }
    CLI::App app;
    Define(app, o);
    try {
        app.parse(std::vector<std::string>(given.rbegin(), given.rend()));
    } catch (const CLI::ParseError& error) {
        result.error = error.what();
    }
    return result;
}

std::string Usage(const std::string& program)
{
    // One literal with named slots: pieces glued around the values would leave fragments such
    // as "(defaul" in the binary, which spelling checks of the package trip over.
    std::string text = R"(Usage: {program} [--link PATH] [--state DIR] [options]

A simulated K64 unit on a pseudo-terminal. The first line on standard output is the path of the
terminal to open as the unit's serial port. Runs until SIGINT or SIGTERM, then removes the link,
saves its state and exits with status 0.

Line and storage:
  --link PATH             also make PATH a symbolic link to the terminal (replaced if present)
  --state DIR             keep id, settings, firmware version and sound data in DIR, so they
                          survive a restart; without it everything lives in memory
  --trace FILE            log every frame both ways in hex, with direction and time
  -h, --help              show this text
  --version               as the last argument and without a value: show the program's
                          version

The unit as it leaves the factory (a state saved in --state DIR takes precedence):
  --id N                  serial number (default {id})
  --type TEXT             device type, at most 47 bytes (default {type})
  --version TEXT          firmware version, at most 15 bytes (default {version})
  --build-date TEXT       firmware build date, at most 31 bytes (default "{build-date}")
  --settings-file FILE    initial settings text (default empty)

Pace:
  --baud N                send and take bytes no faster than a serial line of N baud (8N1)
                          would, 300 to 4000000, so that transfers take their real time; the
                          unit's own line runs at 9600 (default: as fast as the terminal goes)
  --prepare-delay-ms MS   time to prepare an update before the acknowledgement (default {prepare})
  --diag-interval-ms MS   time between diagnostic text bursts, at least 10 (default {interval})
  --diag-flood BYTES      send at least BYTES a second of diagnostic text, each burst
                          filled up with more lines (for load tests)
  --knock-after-ms MS     knock on the car MS after each start of the diagnostic stream: a few
                          bursts of large accelerometer values; SIGUSR1 knocks at any time

Faults on demand (CODE is a request code, e.g. 10 id, 14 version, 192 data fragment; options
that take CODE may be repeated):
  --no-reply CODE         carry out such requests but send no reply
  --wrong-reply CODE      answer with a well-formed reply of another code
  --malformed-reply CODE  answer with the right code and a payload that does not fit it: id
                          with 5 bytes, version text with a wrong length word, settings text
                          without its zero, acknowledgements with stray payload bytes
  --delay CODE:MS         wait MS more before answering such requests
  --drop-ack N            store the Nth data fragment (counted from 1 since start) but do not
                          acknowledge it; may be repeated
  --reject-commit         refuse every update commit (no acknowledgement)
  --reset-settings-on-commit
                          a committed firmware update sets every setting back to its default,
                          as some real updates do
  --drop-setting KEY      store every written setting but KEY, as firmware that lacks it does;
                          may be repeated
  --hangup-after N        close the line as soon as the Nth request frame arrives, without
                          answering it, then save state and exit with status 0
)";
    const std::pair<std::string_view, std::string> slots[] = {
        {"{id}", std::to_string(kDefaultId)},
        {"{type}", kDefaultType},
        {"{version}", kDefaultVersion},
        {"{build-date}", kDefaultBuildDate},
        {"{prepare}", std::to_string(kDefaultPrepareDelay.count())},
        {"{interval}", std::to_string(kDefaultDiagnosticInterval.count())},
        {"{program}", program},  // last: the path may hold anything, braces too
    };
    for (const auto& [slot, value] : slots)
        text.replace(text.find(slot), slot.size(), value);
    return text;
}

}  // namespace k64::sim
