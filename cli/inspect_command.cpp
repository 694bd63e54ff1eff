#include <CLI/CLI.hpp>

#include "cli/cli.h"
#include "cli/inspect.h"

namespace vaultra::cli {

void RegisterInspectCommand(Cli& cli) {
    auto* cmd =
        cli.app().add_subcommand("inspect", "Bausteine einer S5-Programmdatei oder eines STEP 7-Projekts");
    auto path = std::make_shared<std::string>();
    cmd->add_option("PATH", *path, "S5-Programmdatei oder Projektdatei (.S7P)")->required();
    Context& ctx = cli.context();
    cmd->callback([&ctx, path] { ctx.exitCode = RunInspect(*path, ctx.out, ctx.err); });
}

}  // namespace vaultra::cli
