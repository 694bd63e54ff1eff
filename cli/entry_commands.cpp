#include <CLI/CLI.hpp>

#include <ostream>

#include "app/text_catalogue.h"
#include "cli/entry_checks.h"
#include "cli/entry_options.h"
#include "cli/set_commands.h"
#include "cli/set_file.h"
#include "cli/station_commands.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

namespace {

struct AddOptions {
    std::string path;
    bool force = false;
    EntryOptions entry;
};

struct ChangeOptions {
    std::string path;
    std::string entryName;
    bool force = false;
    EntryOptions entry;
};

void WarnAboutSchedule(Context& ctx, const app::EntryDialogValues& values) {
    if (auto warning = ScheduleWarning(values)) {
        ctx.err << *warning << '\n';
    }
}

int RunAdd(Context& ctx, const AddOptions& o) {
    app::Station station;
    if (!OpenSetForEdit(ctx, station, o.path, o.force)) {
        return kExitBadInput;
    }
    app::EntryDialogValues values;
    if (auto message = ApplyEntryOptions(o.entry, values, true)) {
        return Refuse(ctx, *message);
    }
    WarnAboutSchedule(ctx, values);
    app::CElement entry;
    app::ApplyEntryDialog(values, entry, ctx.now());
    const std::string name = entry.name;
    if (!station.AddEntry(std::move(entry))) {
        return Refuse(ctx, Tr(app::kSetFullMessage));
    }
    if (!SaveSet(ctx, station, o.path)) {
        return kExitFailed;
    }
    Confirm(ctx, Format(Tr("Eintrag %zu \"%s\" angelegt."), station.entries.size() - 1, name.c_str()));
    return kExitOk;
}

int RunChange(Context& ctx, const ChangeOptions& o) {
    app::Station station;
    if (!OpenSetForEdit(ctx, station, o.path, o.force)) {
        return kExitBadInput;
    }
    std::string bad;
    const auto chosen = ResolveEntries(station.entries, {o.entryName}, &bad);
    if (!chosen) {
        return Refuse(ctx, NoSuchEntryMessage(bad));
    }
    const std::size_t index = chosen->front();
    app::CElement& entry = station.entries[index];
    app::EntryDialogValues values = app::DialogValuesFromEntry(entry);
    if (auto message = ApplyEntryOptions(o.entry, values, false)) {
        return Refuse(ctx, *message);
    }
    WarnAboutSchedule(ctx, values);
    app::ApplyEntryDialog(values, entry, ctx.now());
    if (!SaveSet(ctx, station, o.path)) {
        return kExitFailed;
    }
    Confirm(ctx, Format(Tr("Eintrag %zu \"%s\" ge\xC3\xA4ndert."), index, entry.name.c_str()));
    return kExitOk;
}

}  // namespace

void RegisterAddCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("add", Tr("Neuen Eintrag anh\xC3\xA4ngen"));
    auto o = std::make_shared<AddOptions>();
    cmd->add_option("SET", o->path, Tr("Sicherungssatz (.INI)"))->required();
    AddEntryOptions(*cmd, o->entry);
    AddForceFlag(*cmd, o->force);
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunAdd(ctx, *o); });
}

void RegisterChangeCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("change", Tr("Eintrag \xC3\xA4ndern"));
    auto o = std::make_shared<ChangeOptions>();
    cmd->add_option("SET", o->path, Tr("Sicherungssatz (.INI)"))->required();
    cmd->add_option("ENTRY", o->entryName, Tr("Eintrag: Position ab 0 oder Name"))->required();
    AddEntryOptions(*cmd, o->entry);
    AddForceFlag(*cmd, o->force);
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunChange(ctx, *o); });
}

}  // namespace vaultra::cli
