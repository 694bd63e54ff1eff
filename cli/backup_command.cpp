#include <CLI/CLI.hpp>

#include <charconv>
#include <ostream>

#include "cli/station_commands.h"
#include "cli/station_session.h"

namespace vaultra::cli {

namespace {

// One line per entry after the runs, so a script sees every result at a glance.
void ReportResults(Context& ctx, const app::EntryList& entries, const std::vector<std::size_t>& chosen) {
    for (const std::size_t i : chosen) {
        const app::CElement& e = entries[i];
        const char* result = e.Has(app::flag::kLastSucceeded) ? "gesichert" : "fehlgeschlagen";
        ctx.out << i << ' ' << e.name << ": " << result << '\n';
    }
}

int RunBackup(Context& ctx, const std::string& setPath, const std::vector<std::string>& names) {
    auto session = StationSession::Open(ctx, setPath);
    if (!session) {
        return ctx.exitCode;
    }
    const app::EntryList& entries = session->Station().entries;
    std::string bad;
    const auto chosen = ResolveEntries(entries, names, &bad);
    if (!chosen) {
        ctx.err << "Kein Eintrag \"" << bad << "\" im Sicherungssatz.\n";
        return kExitBadInput;
    }
    const bool allSucceeded = session->Engine().BackupEntries(*chosen);
    ReportResults(ctx, entries, *chosen);
    return allSucceeded ? kExitOk : kExitFailed;
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

void RegisterBackupCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand(
        "backup", "Sichert alle Eintr\xC3\xA4ge (\"Alle Sichern\") oder die genannten");
    auto set = std::make_shared<std::string>();
    auto names = std::make_shared<std::vector<std::string>>();
    cmd->add_option("SET", *set, "Sicherungssatz")->required();
    cmd->add_option("ENTRY", *names, "Eintrag: Position ab 0 oder Name");
    Context& ctx = cli.context();
    cmd->callback([&ctx, set, names] { ctx.exitCode = RunBackup(ctx, *set, *names); });
}

}  // namespace vaultra::cli
