#include "sim/options.h"

#include <charconv>
#include <functional>
#include <limits>
#include <string_view>
#include <utility>
#include <vector>

namespace k64::sim {
namespace {

template <typename T>
bool ParseNumber(const std::string& text, T max, T& value)
{
    if (text.empty() || text.size() > 20)
        return false;
    T v{};
    auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
    if (ec != std::errc{} || end != text.data() + text.size() || v > max)
        return false;
    value = v;
    return true;
}

bool ParseCode(const std::string& text, std::uint16_t& code)
{
    return ParseNumber<std::uint16_t>(text, kMaxCode, code);
}

bool ParseMillis(const std::string& text, std::chrono::milliseconds& ms)
{
    std::uint32_t v = 0;
    // An hour is far beyond any reply time-out of the tool.
    if (!ParseNumber<std::uint32_t>(text, 3'600'000, v))
        return false;
    ms = std::chrono::milliseconds(v);
    return true;
}

struct OptionInfo {
    const char* name;
    bool takesValue;
    // Returns an error text, empty on success.
    std::function<std::string(Options&, const std::string&)> apply;
};

std::vector<OptionInfo> OptionTable()
{
    return {
        // -h as well, like the other two programs.
        {"--help", false,
         [](Options& o, const std::string&) {
             o.help = true;
             return std::string();
         }},
        {"-h", false,
         [](Options& o, const std::string&) {
             o.help = true;
             return std::string();
         }},
        {"--link", true,
         [](Options& o, const std::string& v) {
             o.link = v;
             return std::string();
         }},
        {"--state", true,
         [](Options& o, const std::string& v) {
             o.stateDir = v;
             return std::string();
         }},
        {"--trace", true,
         [](Options& o, const std::string& v) {
             o.traceFile = v;
             return std::string();
         }},
        {"--settings-file", true,
         [](Options& o, const std::string& v) {
             o.settingsFile = v;
             return std::string();
         }},
        {"--id", true,
         [](Options& o, const std::string& v) {
             return ParseNumber<std::uint32_t>(v, std::numeric_limits<std::uint32_t>::max(),
                                               o.seed.id)
                        ? std::string()
                        : "--id needs a number from 0 to 4294967295";
         }},
        {"--type", true,
         [](Options& o, const std::string& v) {
             o.seed.firmware.type = v;
             return v.size() < kTypeField ? std::string() : "--type takes at most 47 bytes";
         }},
        {"--version", true,
         [](Options& o, const std::string& v) {
             o.seed.firmware.version = v;
             return v.size() < kVersionField ? std::string() : "--version takes at most 15 bytes";
         }},
        {"--build-date", true,
         [](Options& o, const std::string& v) {
             o.seed.firmware.buildDate = v;
             return v.size() < kBuildDateField ? std::string()
                                               : "--build-date takes at most 31 bytes";
         }},
        {"--prepare-delay-ms", true,
         [](Options& o, const std::string& v) {
             return ParseMillis(v, o.prepareDelay) ? std::string()
                                                   : "--prepare-delay-ms needs 0 to 3600000";
         }},
        {"--diag-interval-ms", true,
         [](Options& o, const std::string& v) {
             return ParseMillis(v, o.diagnosticInterval) && o.diagnosticInterval.count() >= 10
                        ? std::string()
                        : "--diag-interval-ms needs 10 to 3600000";
         }},
        {"--diag-flood", true,
         [](Options& o, const std::string& v) {
             const auto [end, error] =
                 std::from_chars(v.data(), v.data() + v.size(), o.diagnosticFlood);
             return error == std::errc() && end == v.data() + v.size() &&
                            o.diagnosticFlood <= 100'000'000
                        ? std::string()
                        : "--diag-flood needs 0 to 100000000";
         }},
        {"--no-reply", true,
         [](Options& o, const std::string& v) {
             std::uint16_t c = 0;
             if (!ParseCode(v, c))
                 return std::string("--no-reply needs a code from 0 to 32767");
             o.faults.noReply.insert(c);
             return std::string();
         }},
        {"--wrong-reply", true,
         [](Options& o, const std::string& v) {
             std::uint16_t c = 0;
             if (!ParseCode(v, c))
                 return std::string("--wrong-reply needs a code from 0 to 32767");
             o.faults.wrongReply.insert(c);
             return std::string();
         }},
        {"--malformed-reply", true,
         [](Options& o, const std::string& v) {
             std::uint16_t c = 0;
             if (!ParseCode(v, c))
                 return std::string("--malformed-reply needs a code from 0 to 32767");
             o.faults.malformedReply.insert(c);
             return std::string();
         }},
        {"--delay", true,
         [](Options& o, const std::string& v) {
             const auto colon = v.find(':');
             std::uint16_t c = 0;
             std::chrono::milliseconds ms{};
             if (colon == std::string::npos || !ParseCode(v.substr(0, colon), c) ||
                 !ParseMillis(v.substr(colon + 1), ms)) {
                 return std::string("--delay needs CODE:MS, e.g. 14:1500");
             }
             o.faults.delay[c] = ms;
             return std::string();
         }},
        {"--drop-ack", true,
         [](Options& o, const std::string& v) {
             std::uint64_t n = 0;
             if (!ParseNumber<std::uint64_t>(v, std::numeric_limits<std::uint64_t>::max(), n) ||
                 n == 0) {
                 return std::string("--drop-ack needs a fragment number from 1");
             }
             o.faults.dropAck.insert(n);
             return std::string();
         }},
        {"--reject-commit", false,
         [](Options& o, const std::string&) {
             o.faults.rejectCommit = true;
             return std::string();
         }},
        {"--reset-settings-on-commit", false,
         [](Options& o, const std::string&) {
             o.faults.resetSettingsOnCommit = true;
             return std::string();
         }},
        {"--drop-setting", true,
         [](Options& o, const std::string& v) {
             o.faults.dropSettings.insert(v);
             return v.empty() || v.find('=') != std::string::npos
                        ? std::string("--drop-setting needs a settings key")
                        : std::string();
         }},
        {"--baud", true,
         [](Options& o, const std::string& v) {
             // From the slowest line a unit has ever had to well past any USB serial adapter.
             return ParseNumber<std::uint32_t>(v, 4'000'000, o.baud) && o.baud >= 300
                        ? std::string()
                        : "--baud needs 300 to 4000000";
         }},
        {"--knock-after-ms", true,
         [](Options& o, const std::string& v) {
             std::chrono::milliseconds ms{};
             if (!ParseMillis(v, ms))
                 return std::string("--knock-after-ms needs 0 to 3600000");
             o.knockAfter = ms;
             return std::string();
         }},
        {"--hangup-after", true,
         [](Options& o, const std::string& v) {
             std::uint64_t n = 0;
             if (!ParseNumber<std::uint64_t>(v, std::numeric_limits<std::uint64_t>::max(), n) ||
                 n == 0) {
                 return std::string("--hangup-after needs a frame count from 1");
             }
             o.hangupAfter = n;
             return std::string();
         }},
    };
}

}  // namespace

ParseResult ParseOptions(std::span<const std::string> args)
{
    ParseResult result;
    Options& o = result.options;
    o.seed.id = kDefaultId;
    o.seed.firmware = {kDefaultType, kDefaultVersion, kDefaultBuildDate};
    const auto table = OptionTable();
    for (std::size_t i = 0; i < args.size(); ++i) {
        std::string name = args[i];
        std::optional<std::string> value;
        if (const auto eq = name.find('='); name.starts_with("--") && eq != std::string::npos) {
            value = name.substr(eq + 1);
            name.resize(eq);
        }
        const OptionInfo* option = nullptr;
        for (const auto& s : table) {
            if (name == s.name)
                option = &s;
        }
        if (option == nullptr) {
            result.error = "unknown option " + args[i];
            return result;
        }
        if (option->takesValue && !value) {
            // The firmware version option has no value to take when it comes last: that is the
            // usual request for the program's own version.
            if (name == "--version" && i + 1 == args.size()) {
                o.showVersion = true;
                continue;
            }
            if (i + 1 >= args.size()) {
                result.error = name + " needs a value";
                return result;
            }
            value = args[++i];
        } else if (!option->takesValue && value) {
            result.error = name + " takes no value";
            return result;
        }
        if (std::string why = option->apply(o, value.value_or("")); !why.empty()) {
            result.error = why;
            return result;
        }
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
