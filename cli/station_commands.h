// The commands that run the station: `run SET` (the timer loop until SIGINT/SIGTERM) and
// `backup SET [ENTRY...]` (every entry, or the named ones, once), and what every station command shares.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "app/station.h"
#include "cli/cli.h"

namespace vaultra::cli {

void RegisterRunCommand(Cli& cli);
void RegisterBackupCommand(Cli& cli);

// The list positions named by ENTRY arguments (a 0-based index or an entry's name, first match), in the
// order given; nothing (with the offending argument in *bad) when one names no entry.
std::optional<std::vector<std::size_t>> ResolveEntries(const app::EntryList& entries,
                                                       const std::vector<std::string>& names,
                                                       std::string* bad);

// The entries a station command acts on (ResolveEntries); nothing, with the refusal on standard error, when
// the set has no entries (emptySet: a format with the set's path) or an argument names no entry.
std::optional<std::vector<std::size_t>> ChooseEntries(
    Context& ctx, const app::EntryList& entries, const std::string& setPath,
    const std::vector<std::string>& names,
    const char* emptySet = "Der Sicherungssatz \"%s\" enth\xC3\xA4lt keine Eintr\xC3\xA4ge.");

// --yes of the commands that change PLCs: no question asked.
void AddYesFlag(CLI::App& cmd, bool& yes);

// --json of the station commands: one JSON object per entry result, nothing else on standard output.
void AddJsonFlag(CLI::App& cmd, Context& ctx);

// The refusal of an ENTRY argument that names no entry.
std::string NoSuchEntryMessage(const std::string& entry);

}  // namespace vaultra::cli
