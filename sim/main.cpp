// k64-sim: a simulated K64 unit on a pseudo-terminal.
#include "common/stop_pipe.h"
#include "common/version.h"
#include "sim/diagnostics.h"
#include "sim/options.h"
#include "sim/pty_server.h"
#include "sim/state_store.h"

#include <cstdio>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

#include <signal.h>

namespace {

void OnKnockSignal(int) { k64::sim::RequestKnock(); }

bool ReadSettingsFile(const std::string& path, std::string& text, std::string& error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read " + path;
        return false;
    }
    std::string bytes(k64::sim::kMaxSettingsText + 1, '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (bytes.size() > k64::sim::kMaxSettingsText) {
        error = path + " is longer than " + std::to_string(k64::sim::kMaxSettingsText) + " bytes";
        return false;
    }
    bytes.resize(std::strlen(bytes.c_str()));  // the text travels zero-terminated
    text = std::move(bytes);
    return true;
}

}  // namespace

int main(int argc, char** argv)
{
    using namespace k64::sim;
    const std::string program = argc > 0 ? argv[0] : "k64-sim";
    const std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
    ParseResult parsed = ParseOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "k64-sim: %s\nTry '%s --help'.\n", parsed.error.c_str(),
                     program.c_str());
        return 2;
    }
    Options& options = parsed.options;
    if (options.help) {
        std::fputs(Usage(program).c_str(), stdout);
        return 0;
    }
    if (options.showVersion) {
        std::printf("k64-sim %s\n", k64::kVersion);
        return 0;
    }

    UnitState state = options.seed;
    if (!options.settingsFile.empty()) {
        std::string error;
        if (!ReadSettingsFile(options.settingsFile, state.settings, error)) {
            std::fprintf(stderr, "k64-sim: %s\n", error.c_str());
            return 2;
        }
    }
    std::optional<StateStore> store;
    if (!options.stateDir.empty()) {
        store.emplace(options.stateDir);
        std::vector<std::string> warnings;
        const bool loaded = store->Load(state, warnings);
        for (const auto& w : warnings)
            std::fprintf(stderr, "k64-sim: %s\n", w.c_str());
        if (!loaded)
            return 1;
        std::string error;
        if (!store->Save(state, error)) {
            std::fprintf(stderr, "k64-sim: %s\n", error.c_str());
            return 1;
        }
    }

    const k64::StopPipe stop({SIGINT, SIGTERM});
    if (stop.ReadEnd() < 0) {
        std::perror("k64-sim: pipe");
        return 1;
    }
    ::signal(SIGPIPE, SIG_IGN);
    struct sigaction knock {};
    knock.sa_handler = OnKnockSignal;
    sigemptyset(&knock.sa_mask);
    knock.sa_flags = SA_RESTART;
    ::sigaction(SIGUSR1, &knock, nullptr);

    PtyServer server(std::move(options), std::move(state), std::move(store));
    std::string error;
    if (!server.Open(error)) {
        std::fprintf(stderr, "k64-sim: %s\n", error.c_str());
        return 1;
    }
    std::printf("%s\n", server.SlavePath().c_str());
    std::fflush(stdout);
    return server.Run(stop.ReadEnd());
}
