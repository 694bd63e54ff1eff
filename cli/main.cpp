// vaultra-cli: the headless station. Every command registers itself from its own file.
#include <iostream>

#include "cli/cli.h"

int main(int argc, char** argv) {
    vaultra::cli::Cli cli(std::cout, std::cerr);
    vaultra::cli::RegisterSetCommands(cli);
    vaultra::cli::RegisterInspectCommand(cli);
    return cli.Run(argc, argv);
}
