#include <CLI/CLI.hpp>

#include <vector>

#include "cli/set_commands.h"
#include "cli/set_file.h"

namespace vaultra::cli {

namespace {

struct DeleteOptions {
    std::string path;
    std::vector<size_t> indexes;
};

int RunDelete(Context& ctx, const DeleteOptions& o) {
    app::Station station;
    if (!OpenSetForEdit(ctx, station, o.path)) {
        return kExitBadInput;
    }
    for (const size_t index : o.indexes) {
        if (index >= station.entries.size()) {
            return Refuse(ctx, "Es gibt keinen Eintrag " + std::to_string(index) + ".");
        }
    }
    station.DeleteAt(o.indexes);
    return SaveSet(ctx, station, o.path) ? kExitOk : kExitFailed;
}

}  // namespace

void RegisterDeleteCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("delete", "Eintr\xC3\xA4ge l\xC3\xB6schen");
    auto o = std::make_shared<DeleteOptions>();
    cmd->add_option("SET", o->path, "Sicherungssatz (.INI)")->required();
    cmd->add_option("INDEX", o->indexes, "Nummern der Eintr\xC3\xA4ge (ab 0)")->required();
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunDelete(ctx, *o); });
}

}  // namespace vaultra::cli
