// `vaultra-cli start|stop|clear SET [ENTRY...] [--yes]`: the PLC commands on the named entries (or, without
// names, on the entries marked in the set).
#include <CLI/CLI.hpp>

#include <ostream>

#include "app/plc_commands.h"
#include "cli/confirmation.h"
#include "cli/plc_command_registry.h"
#include "cli/station_commands.h"
#include "cli/station_session.h"

namespace vaultra::cli {

namespace {

struct CommandOptions {
    std::string set;
    std::vector<std::string> names;
    bool yes = false;
};

struct CommandInfo {
    const char* name;
    app::PlcCommand command;
    const char* help;
    const char* question;
    const char* done;
};

constexpr CommandInfo kCommands[] = {
    {"start", app::PlcCommand::Start, "Startet die AGs der genannten Eintr\xC3\xA4ge",
     "Das AG wirklich starten?", "gestartet"},
    {"stop", app::PlcCommand::Stop, "Stoppt die AGs der genannten Eintr\xC3\xA4ge",
     "Das AG wirklich stoppen?", "gestoppt"},
    {"clear", app::PlcCommand::Clear, "Url\xC3\xB6scht die AGs der genannten Eintr\xC3\xA4ge",
     "Das AG wirklich l\xC3\xB6schen?", "gel\xC3\xB6scht"},
};

// Named entries are the marked ones for this command; the set file is not changed.
void MarkNamed(app::EntryList& entries, const std::vector<std::size_t>& chosen) {
    for (app::CElement& e : entries) {
        e.Set(app::flag::kMarked, false);
    }
    for (const std::size_t i : chosen) {
        entries[i].Set(app::flag::kMarked, true);
    }
}

int RunCommand(Context& ctx, const CommandInfo& info, const CommandOptions& o) {
    auto session = StationSession::Open(ctx, o.set);
    if (!session) {
        return ctx.exitCode;
    }
    app::EntryList& entries = session->Station().entries;
    std::string bad;
    const auto chosen = ResolveEntries(entries, o.names, &bad);
    if (!chosen) {
        ctx.err << "Kein Eintrag \"" << bad << "\" im Sicherungssatz.\n";
        return kExitBadInput;
    }
    if (!o.names.empty()) {
        MarkNamed(entries, *chosen);
    }
    const Confirmation answer = Confirm(ctx, info.question, o.yes);
    if (answer != Confirmation::Yes) {
        return RefuseUnconfirmed(ctx, answer);
    }
    const auto outcome = session->Engine().Commands().Run(info.command, false);
    bool allSucceeded = !outcome.noneSelected;
    for (const auto& r : outcome.results) {
        ctx.out << r.index << ' ' << entries[r.index].name << ": "
                << (r.succeeded ? info.done : "fehlgeschlagen") << '\n';
        allSucceeded = allSucceeded && r.succeeded;
    }
    return allSucceeded ? kExitOk : kExitFailed;
}

}  // namespace

void RegisterPlcCommands(Cli& cli) {
    Context& ctx = cli.context();
    for (const CommandInfo& info : kCommands) {
        auto* cmd = cli.app().add_subcommand(info.name, info.help);
        auto o = std::make_shared<CommandOptions>();
        cmd->add_option("SET", o->set, "Sicherungssatz")->required();
        cmd->add_option("ENTRY", o->names, "Eintrag: Position ab 0 oder Name (ohne: die markierten)");
        cmd->add_flag("--yes", o->yes,
                      "ohne R\xC3\xBC"
                      "ckfrage (f\xC3\xBCr Skripte)");
        cmd->callback([&ctx, &info, o] { ctx.exitCode = RunCommand(ctx, info, *o); });
    }
}

}  // namespace vaultra::cli
