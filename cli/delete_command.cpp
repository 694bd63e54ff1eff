#include <CLI/CLI.hpp>

#include <algorithm>
#include <vector>

#include "app/text_catalogue.h"
#include "cli/set_commands.h"
#include "cli/set_file.h"
#include "cli/station_commands.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

namespace {

struct DeleteOptions {
    std::string path;
    std::vector<std::string> entries;
    bool force = false;
};

int RunDelete(Context& ctx, const DeleteOptions& o) {
    app::Station station;
    if (!OpenSetForEdit(ctx, station, o.path, o.force)) {
        return kExitBadInput;
    }
    std::string bad;
    auto chosen = ResolveEntries(station.entries, o.entries, &bad);
    if (!chosen) {
        return Refuse(ctx, NoSuchEntryMessage(bad));
    }
    std::sort(chosen->begin(), chosen->end());
    chosen->erase(std::unique(chosen->begin(), chosen->end()), chosen->end());
    std::vector<std::string> names;
    for (const std::size_t i : *chosen) {
        names.push_back(station.entries[i].name);
    }
    station.DeleteAt(*chosen);
    if (!SaveSet(ctx, station, o.path)) {
        return kExitFailed;
    }
    for (std::size_t k = 0; k < names.size(); ++k) {
        Confirm(ctx, Format(Tr("Eintrag %zu \"%s\" gel\xC3\xB6scht."), (*chosen)[k], names[k].c_str()));
    }
    return kExitOk;
}

}  // namespace

void RegisterDeleteCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("delete", Tr("Eintr\xC3\xA4ge l\xC3\xB6schen"));
    auto o = std::make_shared<DeleteOptions>();
    cmd->add_option("SET", o->path, Tr("Sicherungssatz (.INI)"))->required();
    cmd->add_option("ENTRY", o->entries, Tr("Eintr\xC3\xA4ge: Position ab 0 oder Name"))->required();
    AddForceFlag(*cmd, o->force);
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunDelete(ctx, *o); });
}

}  // namespace vaultra::cli
