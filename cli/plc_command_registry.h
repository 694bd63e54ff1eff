// The commands that change PLCs: `restore SET [ENTRY...]` and `start|stop|clear SET [ENTRY...]`, each
// with a confirmation on a terminal or --yes.
#pragma once

#include "cli/cli.h"

namespace vaultra::cli {

void RegisterRestoreCommand(Cli& cli);
void RegisterPlcCommands(Cli& cli);

}  // namespace vaultra::cli
