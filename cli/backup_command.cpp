#include <CLI/CLI.hpp>

#include <charconv>
#include <ostream>

#include "app/text_catalogue.h"
#include "cli/cli_help.h"
#include "cli/station_commands.h"
#include "cli/station_session.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

namespace {

int RunBackup(Context& ctx, const std::string& setPath, const std::vector<std::string>& names) {
    auto session = StationSession::Open(ctx, setPath);
    if (!session) {
        return ctx.exitCode;
    }
    const auto chosen = ChooseEntries(ctx, session->Station().entries, setPath, names,
                                      "Der Sicherungssatz \"%s\" enth\xC3\xA4lt keine Eintr\xC3\xA4ge; es "
                                      "wird nichts gesichert.");
    if (!chosen) {
        return kExitBadInput;
    }
    // Every run prints its own result line (or JSON object) as it ends.
    return session->Engine().BackupEntries(*chosen) ? kExitOk : kExitFailed;
}

}  // namespace

std::optional<std::vector<std::size_t>> ResolveEntries(const app::EntryList& entries,
                                                       const std::vector<std::string>& names,
                                                       std::string* bad) {
    std::vector<std::size_t> chosen;
    if (names.empty()) {
        for (std::size_t i = 0; i < entries.size(); ++i) {
            chosen.push_back(i);
        }
        return chosen;
    }
    for (const std::string& name : names) {
        std::size_t index = 0;
        const auto [end, ec] = std::from_chars(name.data(), name.data() + name.size(), index);
        bool found = ec == std::errc{} && end == name.data() + name.size() && index < entries.size();
        for (std::size_t i = 0; !found && i < entries.size(); ++i) {
            if (entries[i].name == name) {
                index = i;
                found = true;
            }
        }
        if (!found) {
            *bad = name;
            return std::nullopt;
        }
        chosen.push_back(index);
    }
    return chosen;
}

std::optional<std::vector<std::size_t>> ChooseEntries(Context& ctx, const app::EntryList& entries,
                                                      const std::string& setPath,
                                                      const std::vector<std::string>& names,
                                                      const char* emptySet) {
    if (entries.empty()) {
        ctx.err << Format(Tr(emptySet), Printable(setPath).c_str()) << '\n';
        return std::nullopt;
    }
    std::string bad;
    auto chosen = ResolveEntries(entries, names, &bad);
    if (!chosen) {
        ctx.err << NoSuchEntryMessage(bad) << '\n';
    }
    return chosen;
}

std::string NoSuchEntryMessage(const std::string& entry) {
    return Format(Tr("Kein Eintrag \"%s\" im Sicherungssatz."), Printable(entry).c_str());
}

void AddJsonFlag(CLI::App& cmd, Context& ctx) {
    cmd.add_flag_callback(
        "--json", [&ctx] { ctx.level = OutputLevel::Json; },
        Tr("nur ein JSON-Objekt je Ergebnis eines Eintrags (f\xC3\xBCr Skripte)"));
}

void AddYesFlag(CLI::App& cmd, bool& yes) {
    cmd.add_flag("--yes", yes,
                 Tr("ohne R\xC3\xBC"
                    "ckfrage (f\xC3\xBCr Skripte; ohne Terminal n\xC3\xB6tig)"));
}

void RegisterBackupCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand(
        "backup", Tr("Sichert alle Eintr\xC3\xA4ge (\"Alle Sichern\") oder die genannten"));
    auto set = std::make_shared<std::string>();
    auto names = std::make_shared<std::vector<std::string>>();
    cmd->add_option("SET", *set, Tr("Sicherungssatz (.INI)"))->required();
    cmd->add_option("ENTRY", *names, Tr("Eintr\xC3\xA4ge: Position ab 0 oder Name; ohne Angabe alle"));
    Context& ctx = cli.context();
    AddJsonFlag(*cmd, ctx);
    cmd->footer(StationHelpFooter());
    cmd->callback([&ctx, set, names] { ctx.exitCode = RunBackup(ctx, *set, *names); });
}

}  // namespace vaultra::cli
