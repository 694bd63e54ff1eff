#include "cli/set_commands.h"

namespace vaultra::cli {

void RegisterSetCommands(Cli& cli) {
    RegisterNewCommand(cli);
    RegisterShowCommand(cli);
    RegisterAddCommand(cli);
    RegisterChangeCommand(cli);
    RegisterDeleteCommand(cli);
    RegisterConfigCommand(cli);
}

}  // namespace vaultra::cli
