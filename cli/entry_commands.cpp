#include <CLI/CLI.hpp>

#include "cli/entry_options.h"
#include "cli/set_commands.h"
#include "cli/set_file.h"

namespace vaultra::cli {

namespace {

struct AddOptions {
    std::string path;
    EntryOptions entry;
};

struct ChangeOptions {
    std::string path;
    size_t index = 0;
    EntryOptions entry;
};

int RunAdd(Context& ctx, const AddOptions& o) {
    app::Station station;
    if (!OpenSetForEdit(ctx, station, o.path)) {
        return kExitBadInput;
    }
    app::EntryDialogValues values;
    if (auto message = ApplyEntryOptions(o.entry, values, true)) {
        return Refuse(ctx, *message);
    }
    app::CElement entry;
    app::ApplyEntryDialog(values, entry, ctx.now());
    if (!station.AddEntry(std::move(entry))) {
        return Refuse(ctx, app::kSetFullMessage);
    }
    return SaveSet(ctx, station, o.path) ? kExitOk : kExitFailed;
}

int RunChange(Context& ctx, const ChangeOptions& o) {
    app::Station station;
    if (!OpenSetForEdit(ctx, station, o.path)) {
        return kExitBadInput;
    }
    if (o.index >= station.entries.size()) {
        return Refuse(ctx, "Es gibt keinen Eintrag " + std::to_string(o.index) + ".");
    }
    app::CElement& entry = station.entries[o.index];
    app::EntryDialogValues values = app::DialogValuesFromEntry(entry);
    if (auto message = ApplyEntryOptions(o.entry, values, false)) {
        return Refuse(ctx, *message);
    }
    app::ApplyEntryDialog(values, entry, ctx.now());
    return SaveSet(ctx, station, o.path) ? kExitOk : kExitFailed;
}

}  // namespace

void RegisterAddCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("add", "Neuen Eintrag anh\xC3\xA4ngen");
    auto o = std::make_shared<AddOptions>();
    cmd->add_option("SET", o->path, "Sicherungssatz (.INI)")->required();
    AddEntryOptions(*cmd, o->entry);
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunAdd(ctx, *o); });
}

void RegisterChangeCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("change", "Eintrag \xC3\xA4ndern");
    auto o = std::make_shared<ChangeOptions>();
    cmd->add_option("SET", o->path, "Sicherungssatz (.INI)")->required();
    cmd->add_option("INDEX", o->index, "Nummer des Eintrags (ab 0)")->required();
    AddEntryOptions(*cmd, o->entry);
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunChange(ctx, *o); });
}

}  // namespace vaultra::cli
