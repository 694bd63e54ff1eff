#include <CLI/CLI.hpp>

#include <ostream>

#include "cli/station_commands.h"
#include "cli/station_session.h"
#include "platform/clock.h"

namespace vaultra::cli {

namespace {

constexpr std::uint32_t kTickMs = 1000;

int RunStation(Context& ctx, const std::string& setPath) {
    auto session = StationSession::Open(ctx, setPath);
    if (!session) {
        return ctx.exitCode;
    }
    session->Ui().StatusText("Station gestartet: " + std::to_string(session->Station().entries.size()) +
                             " Eintr\xC3\xA4ge in " + setPath);
    platform::StationSignals& signals = session->Signals();
    while (!signals.StopRequested()) {
        const std::uint64_t started = platform::MonotonicMs();
        session->Engine().TimerTick();
        // A pass that ran a backup took longer than a tick: the next one follows at once.
        const std::uint64_t spent = platform::MonotonicMs() - started;
        signals.WaitForStop(spent >= kTickMs ? 0 : static_cast<std::uint32_t>(kTickMs - spent));
    }
    session->Ui().StatusText("Station beendet.");
    return kExitOk;
}

}  // namespace

void RegisterRunCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand(
        "run", "Die Station: sichert f\xC3\xA4llige Eintr\xC3\xA4ge bis SIGINT/SIGTERM");
    auto set = std::make_shared<std::string>();
    cmd->add_option("SET", *set, "Sicherungssatz")->required();
    Context& ctx = cli.context();
    cmd->callback([&ctx, set] { ctx.exitCode = RunStation(ctx, *set); });
}

}  // namespace vaultra::cli
