// `vaultra-cli start|stop|clear SET [ENTRY...] [--yes] [--json]`: the PLC commands on the named entries
// (or, without names, on the entries marked in the set), one entry at a time with a result line each.
#include <CLI/CLI.hpp>

#include <ostream>

#include "app/driver_status.h"
#include "app/plc_commands.h"
#include "app/text_catalogue.h"
#include "cli/cli_help.h"
#include "cli/confirmation.h"
#include "cli/plc_command_registry.h"
#include "cli/station_commands.h"
#include "cli/station_session.h"

namespace vaultra::cli {

using app::Tr;

namespace {

struct CommandOptions {
    std::string set;
    std::vector<std::string> names;
    bool yes = false;
};

struct CommandInfo {
    const char* name;
    app::PlcCommand command;
    app::RunKind kind;
    const char* help;
    const char* question;
};

constexpr CommandInfo kCommands[] = {
    {"start", app::PlcCommand::Start, app::RunKind::Start, "Startet die AGs der genannten Eintr\xC3\xA4ge",
     "Das AG wirklich starten?"},
    {"stop", app::PlcCommand::Stop, app::RunKind::Stop, "Stoppt die AGs der genannten Eintr\xC3\xA4ge",
     "Das AG wirklich stoppen?"},
    {"clear", app::PlcCommand::Clear, app::RunKind::Clear,
     "Url\xC3\xB6scht die AGs der genannten Eintr\xC3\xA4ge", "Das AG wirklich l\xC3\xB6schen?"},
};

// Without ENTRY arguments the command acts on the marked entries; start and stop also on a set's only
// entry, as in the station's window.
std::vector<std::size_t> MarkedEntries(const app::EntryList& entries, app::PlcCommand command) {
    std::vector<std::size_t> marked;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        if (entries[i].Has(app::flag::kMarked)) {
            marked.push_back(i);
        }
    }
    if (marked.empty() && entries.size() == 1 && command != app::PlcCommand::Clear) {
        marked.push_back(0);
    }
    return marked;
}

// Runs the command on the entry at `index` alone (it is the only marked one for this run; the set file
// is not changed) and reports its result line.
bool RunOnEntry(StationSession& session, const CommandInfo& info, std::size_t index) {
    app::EntryList& entries = session.Station().entries;
    for (std::size_t i = 0; i < entries.size(); ++i) {
        entries[i].Set(app::flag::kMarked, i == index);
    }
    app::CElement& e = entries[index];
    auto& record = session.Station().record;
    record.status = 0;
    record.plcError = 0;
    session.Ui().RunStarted(e);
    const auto result = session.Engine().Commands().Run(info.command, false);
    app::RunOutcome outcome;
    outcome.kind = info.kind;
    outcome.succeeded = result.results.size() == 1 && result.results[0].succeeded;
    if (!outcome.succeeded) {
        outcome.plcReason = app::DriverFailureReason(record.status, record.plcError);
    }
    session.Ui().RunEnded(e, outcome);
    return outcome.succeeded;
}

// A PLC left out because the clear of an earlier one failed (the clear ends there, as in the window).
void ReportLeftOut(StationSession& session, const CommandInfo& info, std::size_t index) {
    const app::CElement& e = session.Station().entries[index];
    app::RunOutcome outcome;
    outcome.kind = info.kind;
    outcome.failure = Tr("nicht ausgef\xC3\xBChrt, weil das L\xC3\xB6schen eines AGs davor fehlschlug");
    session.Ui().RunStarted(e);
    session.Ui().RunEnded(e, outcome);
}

int RunCommand(Context& ctx, const CommandInfo& info, const CommandOptions& o) {
    auto session = StationSession::Open(ctx, o.set);
    if (!session) {
        return ctx.exitCode;
    }
    const app::EntryList& entries = session->Station().entries;
    auto chosen = ChooseEntries(ctx, entries, o.set, o.names);
    if (!chosen) {
        return kExitBadInput;
    }
    if (o.names.empty()) {
        *chosen = MarkedEntries(entries, info.command);
    }
    if (chosen->empty()) {
        ctx.err << Tr(app::kNoPlcSelected) << ' '
                << Tr("Eintr\xC3\xA4ge als Position ab 0 oder Name angeben.") << '\n';
        return kExitBadInput;
    }
    const Confirmation answer = Confirm(ctx, Tr(info.question), o.yes);
    if (answer != Confirmation::Yes) {
        return RefuseUnconfirmed(ctx, answer);
    }
    bool allSucceeded = true;
    for (const std::size_t index : *chosen) {
        if (session->Ui().QuitRequested()) {
            return kExitFailed;
        }
        if (!allSucceeded && info.command == app::PlcCommand::Clear) {
            ReportLeftOut(*session, info, index);
            continue;
        }
        allSucceeded = RunOnEntry(*session, info, index) && allSucceeded;
    }
    return allSucceeded ? kExitOk : kExitFailed;
}

}  // namespace

void RegisterPlcCommands(Cli& cli) {
    Context& ctx = cli.context();
    for (const CommandInfo& info : kCommands) {
        auto* cmd = cli.app().add_subcommand(info.name, Tr(info.help));
        auto o = std::make_shared<CommandOptions>();
        cmd->add_option("SET", o->set, Tr("Sicherungssatz (.INI)"))->required();
        cmd->add_option("ENTRY", o->names,
                        Tr("Eintr\xC3\xA4ge: Position ab 0 oder Name; ohne Angabe die markierten"));
        AddYesFlag(*cmd, o->yes);
        AddJsonFlag(*cmd, ctx);
        cmd->footer(StationHelpFooter());
        cmd->callback([&ctx, &info, o] { ctx.exitCode = RunCommand(ctx, info, *o); });
    }
}

}  // namespace vaultra::cli
