#include <CLI/CLI.hpp>

#include <filesystem>

#include "cli/set_commands.h"
#include "cli/set_file.h"

namespace vaultra::cli {

namespace {

struct NewOptions {
    std::string path;
    bool force = false;
};

int RunNew(Context& ctx, const NewOptions& o) {
    std::error_code ec;
    if (!o.force && std::filesystem::exists(o.path, ec)) {
        return Refuse(ctx, "Die Datei \"" + o.path + "\" gibt es schon; mit --force wird sie ersetzt.");
    }
    app::Station station;
    return SaveSet(ctx, station, o.path) ? kExitOk : kExitFailed;
}

}  // namespace

void RegisterNewCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("new", "Neuen, leeren Sicherungssatz anlegen");
    auto o = std::make_shared<NewOptions>();
    cmd->add_option("SET", o->path, "Sicherungssatz (.INI)")->required();
    cmd->add_flag("--force", o->force, "eine vorhandene Datei ersetzen");
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunNew(ctx, *o); });
}

}  // namespace vaultra::cli
