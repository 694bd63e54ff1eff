#include <CLI/CLI.hpp>

#include <ostream>

#include "app/backup_set_file.h"
#include "app/text_catalogue.h"
#include "cli/cli_help.h"
#include "cli/set_reload.h"
#include "cli/station_commands.h"
#include "cli/station_session.h"
#include "cli/terminal_text.h"
#include "platform/clock.h"

namespace vaultra::cli {

using app::Tr;

namespace {

constexpr std::uint32_t kTickMs = 1000;

std::string EntryCountText(std::size_t count) {
    return count == 0 ? Tr("Der Sicherungssatz enth\xC3\xA4lt keine Eintr\xC3\xA4ge; die Station wartet auf "
                           "\xC3\x84nderungen der Datei.")
                      : Format(Tr("%zu Eintr\xC3\xA4ge."), count);
}

// Reads an edited set file between runs. A file that does not load cleanly is not taken: the station
// keeps the set it has and says so (the file itself is never written).
void ReloadIfChanged(Context& ctx, StationSession& session, SetFileWatcher& watcher,
                     const std::string& path) {
    const auto bytes = watcher.ChangedBytes();
    if (!bytes) {
        return;
    }
    app::Station loaded;
    loaded.settings = session.Station().settings;
    const app::LoadReport report = app::DecodeBackupSet(*bytes, loaded.settings, loaded.entries, ctx.now());
    if (!report.Clean()) {
        for (const std::string& warning : report.warnings) {
            ctx.err << Tr("Warnung: ") << Printable(warning) << '\n';
        }
        ctx.err << Format(
                       Tr("Warnung: Der ge\xC3\xA4nderte Sicherungssatz \"%s\" ist nicht einwandfrei lesbar; "
                          "die Station arbeitet mit dem bisherigen weiter."),
                       Printable(path).c_str())
                << '\n';
        return;
    }
    TakeReloadedSet(session.Station(), std::move(loaded));
    session.BindEntries();
    session.Ui().StationText(Format(Tr("Sicherungssatz \"%s\" neu geladen: %s"), path.c_str(),
                                    EntryCountText(session.Station().entries.size()).c_str()));
}

int RunStation(Context& ctx, const std::string& setPath) {
    auto session = StationSession::Open(ctx, setPath);
    if (!session) {
        return ctx.exitCode;
    }
    SetFileWatcher watcher(setPath);
    session->Ui().StationText(Format(Tr("Station gestartet mit \"%s\": %s"), setPath.c_str(),
                                     EntryCountText(session->Station().entries.size()).c_str()));
    platform::StationSignals& signals = session->Signals();
    while (!signals.StopRequested()) {
        const std::uint64_t started = platform::MonotonicMs();
        ReloadIfChanged(ctx, *session, watcher, setPath);
        session->Engine().TimerTick();
        // A pass that ran a backup took longer than a tick: the next one follows at once.
        const std::uint64_t spent = platform::MonotonicMs() - started;
        signals.WaitForStop(spent >= kTickMs ? 0 : static_cast<std::uint32_t>(kTickMs - spent));
    }
    session->Ui().StationText(Tr("Station beendet."));
    return kExitOk;
}

}  // namespace

void RegisterRunCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand(
        "run", Tr("Die Station: sichert f\xC3\xA4llige Eintr\xC3\xA4ge bis SIGINT/SIGTERM und liest den "
                  "Sicherungssatz neu, wenn er sich \xC3\xA4ndert"));
    auto set = std::make_shared<std::string>();
    cmd->add_option("SET", *set, Tr("Sicherungssatz (.INI)"))->required();
    Context& ctx = cli.context();
    AddJsonFlag(*cmd, ctx);
    cmd->footer(StationHelpFooter());
    cmd->callback([&ctx, set] { ctx.exitCode = RunStation(ctx, *set); });
}

}  // namespace vaultra::cli
