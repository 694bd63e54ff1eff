// Opening and saving the backup set for a command, with the command line's messages.
#pragma once

#include <optional>
#include <string>

#include "app/backup_set_file.h"
#include "cli/cli.h"

namespace vaultra::cli {

// Loads the set; the loader's warnings go to standard error. nullopt (with a message) when it cannot be read.
std::optional<app::LoadReport> OpenSet(Context& ctx, app::Station& station, const std::string& path);

// Loads a set that a command is going to change: also refuses a set whose entries could not all be read
// into memory, since saving it would lose them.
bool OpenSetForEdit(Context& ctx, app::Station& station, const std::string& path);

// Saves; on failure a message and false.
bool SaveSet(Context& ctx, const app::Station& station, const std::string& path);

// Prints a refusal on standard error and returns kExitBadInput.
int Refuse(Context& ctx, const std::string& message);

}  // namespace vaultra::cli
