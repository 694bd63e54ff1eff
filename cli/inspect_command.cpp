#include <CLI/CLI.hpp>

#include "app/text_catalogue.h"
#include "cli/cli.h"
#include "cli/inspect.h"

namespace vaultra::cli {

void RegisterInspectCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand(
        "inspect", app::Tr("Bausteine einer S5-Programmdatei oder eines STEP 7-Projekts"));
    auto path = std::make_shared<std::string>();
    cmd->add_option("PATH", *path, app::Tr("S5-Programmdatei oder Projektdatei (.S7P)"))->required();
    cmd->footer(app::Tr("Exit-Status: 0 alle Bausteine lesbar, 1 etwas war nicht lesbar (besch\xC3\xA4"
                        "digte Bausteine), 2 nicht gefunden oder kein Projekt / keine Programmdatei.") +
                std::string("\n"));
    Context& ctx = cli.context();
    cmd->callback([&ctx, path] { ctx.exitCode = RunInspect(*path, ctx.out, ctx.err); });
}

}  // namespace vaultra::cli
