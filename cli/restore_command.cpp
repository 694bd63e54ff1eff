// `vaultra-cli restore SET [ENTRY...] [--yes]`: writes the stored programs back into the PLCs.
#include <CLI/CLI.hpp>

#include <map>
#include <ostream>

#include "cli/confirmation.h"
#include "cli/plc_command_registry.h"
#include "cli/station_commands.h"
#include "cli/station_session.h"

namespace vaultra::cli {

namespace {

constexpr const char* kNoWriteBack =
    "Zur\xC3\xBC"
    "ckschreiben ist ausgeschaltet (\"Kein Zur\xC3\xBC"
    "ckschreiben\"): nichts wurde an die AGs gesendet.\n";

struct RestoreOptions {
    std::string set;
    std::vector<std::string> names;
    bool yes = false;
};

// Blocks the PLC refused, per entry, and whether any of them belongs to the user program.
struct Refusals {
    std::map<const app::CElement*, std::vector<std::string>> blocks;
    bool userBlock = false;
};

void ReportResults(Context& ctx, const app::EntryList& entries, const std::vector<std::size_t>& chosen,
                   const Refusals& refusals) {
    for (const std::size_t i : chosen) {
        const app::CElement& e = entries[i];
        ctx.out << i << ' ' << e.name << ": "
                << (e.Has(app::flag::kLastSucceeded) ? "zur\xC3\xBC"
                                                       "ckgeschrieben"
                                                     : "fehlgeschlagen");
        const auto it = refusals.blocks.find(&e);
        if (it != refusals.blocks.end() && !it->second.empty()) {
            ctx.out << " (nicht angenommen:";
            for (const std::string& block : it->second) {
                ctx.out << ' ' << block;
            }
            ctx.out << ')';
        }
        ctx.out << '\n';
    }
}

int RunRestore(Context& ctx, const RestoreOptions& o) {
    auto session = StationSession::Open(ctx, o.set);
    if (!session) {
        return ctx.exitCode;
    }
    const app::EntryList& entries = session->Station().entries;
    std::string bad;
    const auto chosen = ResolveEntries(entries, o.names, &bad);
    if (!chosen) {
        ctx.err << "Kein Eintrag \"" << bad << "\" im Sicherungssatz.\n";
        return kExitBadInput;
    }
    if (session->Station().settings.noWriteBack != 0) {
        ctx.err << kNoWriteBack;
        return kExitBadInput;
    }
    const Confirmation answer = Confirm(ctx,
                                        "Die Programme wirklich in die AGs zur\xC3\xBC"
                                        "ckschreiben?",
                                        o.yes);
    if (answer != Confirmation::Yes) {
        return RefuseUnconfirmed(ctx, answer);
    }
    app::Engine& engine = session->Engine();
    Refusals refusals;
    engine.restoreS7 = [&engine, &refusals](app::CElement& e) {
        app::S7Restore& procedure = engine.S7RestoreProcedure();
        const int result = procedure.Run(e, std::string());
        refusals.blocks[&e] = procedure.RefusedBlocks();
        refusals.userBlock = refusals.userBlock || procedure.RefusedUserBlock();
        return result;
    };
    engine.restoreS5 = [&engine, &refusals](app::CElement& e) {
        app::S5Restore& procedure = engine.S5RestoreProcedure();
        const int result = procedure.Run(e);
        refusals.blocks[&e] = procedure.RefusedBlocks();
        return result;
    };
    const bool allSucceeded = engine.RestoreEntries(*chosen);
    ReportResults(ctx, entries, *chosen, refusals);
    return allSucceeded && !refusals.userBlock ? kExitOk : kExitFailed;
}

}  // namespace

void RegisterRestoreCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("restore",
                                         "Schreibt die Programme aller Eintr\xC3\xA4ge (\"Alle R\xC3\xBC"
                                         "cksichern\") oder der genannten in die AGs zur\xC3\xBC"
                                         "ck");
    auto o = std::make_shared<RestoreOptions>();
    cmd->add_option("SET", o->set, "Sicherungssatz")->required();
    cmd->add_option("ENTRY", o->names, "Eintrag: Position ab 0 oder Name");
    cmd->add_flag("--yes", o->yes,
                  "ohne R\xC3\xBC"
                  "ckfrage (f\xC3\xBCr Skripte)");
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunRestore(ctx, *o); });
}

}  // namespace vaultra::cli
