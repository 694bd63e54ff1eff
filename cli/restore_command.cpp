// `vaultra-cli restore SET [ENTRY...] [--yes] [--json]`: writes the stored programs back into the PLCs.
#include <CLI/CLI.hpp>

#include <ostream>

#include "app/text_catalogue.h"
#include "cli/cli_help.h"
#include "cli/confirmation.h"
#include "cli/plc_command_registry.h"
#include "cli/station_commands.h"
#include "cli/station_session.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

namespace {

struct RestoreOptions {
    std::string set;
    std::vector<std::string> names;
    bool yes = false;
};

int RunRestore(Context& ctx, const RestoreOptions& o) {
    auto session = StationSession::Open(ctx, o.set);
    if (!session) {
        return ctx.exitCode;
    }
    const auto chosen = ChooseEntries(ctx, session->Station().entries, o.set, o.names);
    if (!chosen) {
        return kExitBadInput;
    }
    if (session->Station().settings.noWriteBack != 0) {
        ctx.err << Tr("Zur\xC3\xBC"
                      "ckschreiben ist ausgeschaltet (\"Kein Zur\xC3\xBC"
                      "ckschreiben\"): nichts wurde an die AGs gesendet.")
                << '\n';
        return kExitBadInput;
    }
    const Confirmation answer = Confirm(ctx,
                                        Tr("Die Programme wirklich in die AGs zur\xC3\xBC"
                                           "ckschreiben?"),
                                        o.yes);
    if (answer != Confirmation::Yes) {
        return RefuseUnconfirmed(ctx, answer);
    }
    // Every run prints its own result line (or JSON object) as it ends; a block of the user program that
    // the PLC did not take fails the command although the run went on.
    const bool allSucceeded = session->Engine().RestoreEntries(*chosen);
    return allSucceeded && session->Ui().FailedRuns() == 0 ? kExitOk : kExitFailed;
}

}  // namespace

void RegisterRestoreCommand(Cli& cli) {
    auto* cmd =
        cli.app().add_subcommand("restore", Tr("Schreibt die Programme aller Eintr\xC3\xA4ge (\"Alle "
                                               "R\xC3\xBC"
                                               "cksichern\") oder der genannten in die AGs zur\xC3\xBC"
                                               "ck"));
    auto o = std::make_shared<RestoreOptions>();
    cmd->add_option("SET", o->set, Tr("Sicherungssatz (.INI)"))->required();
    cmd->add_option("ENTRY", o->names, Tr("Eintr\xC3\xA4ge: Position ab 0 oder Name; ohne Angabe alle"));
    AddYesFlag(*cmd, o->yes);
    Context& ctx = cli.context();
    AddJsonFlag(*cmd, ctx);
    cmd->footer(StationHelpFooter());
    cmd->callback([&ctx, o] { ctx.exitCode = RunRestore(ctx, *o); });
}

}  // namespace vaultra::cli
