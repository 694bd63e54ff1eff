// vaultra-cli: the headless station. Every command registers itself from its own file.
#include <iostream>

#include "cli/cli.h"
#include "cli/plc_command_registry.h"
#include "cli/station_commands.h"

int main(int argc, char** argv) {
    vaultra::cli::ChooseLanguage(argc, argv);
    vaultra::cli::Cli cli(std::cout, std::cerr);
    vaultra::cli::RegisterSetCommands(cli);
    vaultra::cli::RegisterInspectCommand(cli);
    vaultra::cli::RegisterRunCommand(cli);
    vaultra::cli::RegisterBackupCommand(cli);
    vaultra::cli::RegisterRestoreCommand(cli);
    vaultra::cli::RegisterPlcCommands(cli);
    return cli.Run(argc, argv);
}
