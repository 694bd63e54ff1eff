// The commands that create, show and edit a backup set, one file each.
#pragma once

#include "cli/cli.h"

namespace vaultra::cli {

void RegisterNewCommand(Cli& cli);
void RegisterShowCommand(Cli& cli);
void RegisterAddCommand(Cli& cli);
void RegisterChangeCommand(Cli& cli);
void RegisterDeleteCommand(Cli& cli);
void RegisterConfigCommand(Cli& cli);

}  // namespace vaultra::cli
