// Opening and saving the backup set for a command, with the command line's messages.
#pragma once

#include <optional>
#include <string>

#include "app/backup_set_file.h"
#include "cli/cli.h"

namespace vaultra::cli {

// Loads the set; the loader's warnings go to standard error. nullopt (with a message) when it cannot be read.
std::optional<app::LoadReport> OpenSet(Context& ctx, app::Station& station, const std::string& path);

// Loads a set that a command is going to change. A set that did not load cleanly (not a backup set,
// truncated, unreadable values, entries left out) is refused unless `force`: saving it would rewrite
// the file from what little could be read.
bool OpenSetForEdit(Context& ctx, app::Station& station, const std::string& path, bool force);

// Loads a set that the station is going to run: refused when it did not load cleanly, since the runs
// would follow values the file does not hold.
bool OpenSetToRun(Context& ctx, app::Station& station, const std::string& path);

// --force of the editing commands, and the exit statuses under their help.
void AddForceFlag(CLI::App& cmd, bool& force);

// Saves; on failure a message and false.
bool SaveSet(Context& ctx, const app::Station& station, const std::string& path);

// Prints a refusal on standard error and returns kExitBadInput.
int Refuse(Context& ctx, const std::string& message);

// Prints a success message on standard output unless the quiet level is chosen.
void Confirm(Context& ctx, const std::string& message);

}  // namespace vaultra::cli
