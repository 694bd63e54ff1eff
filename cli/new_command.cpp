#include <CLI/CLI.hpp>

#include <filesystem>

#include "app/text_catalogue.h"
#include "cli/cli_help.h"
#include "cli/set_commands.h"
#include "cli/set_file.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

namespace {

struct NewOptions {
    std::string path;
    bool force = false;
};

int RunNew(Context& ctx, const NewOptions& o) {
    std::error_code ec;
    if (!o.force && std::filesystem::exists(o.path, ec)) {
        return Refuse(
            ctx, Format(Tr("Die Datei \"%s\" gibt es schon; mit --force wird sie ersetzt."), o.path.c_str()));
    }
    app::Station station;
    if (!SaveSet(ctx, station, o.path)) {
        return kExitFailed;
    }
    Confirm(ctx, Format(Tr("Sicherungssatz \"%s\" angelegt."), o.path.c_str()));
    return kExitOk;
}

}  // namespace

void RegisterNewCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("new", Tr("Neuen, leeren Sicherungssatz anlegen"));
    auto o = std::make_shared<NewOptions>();
    cmd->add_option("SET", o->path, Tr("Sicherungssatz (.INI)"))->required();
    cmd->add_flag("--force", o->force, Tr("eine vorhandene Datei ersetzen"));
    cmd->footer(StationHelpFooter());
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunNew(ctx, *o); });
}

}  // namespace vaultra::cli
