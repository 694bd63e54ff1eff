#include <CLI/CLI.hpp>

#include <optional>

#include "app/config_dialog.h"
#include "app/entry_dialog.h"
#include "cli/set_commands.h"
#include "cli/set_file.h"
#include "cli/station_store.h"

namespace vaultra::cli {

namespace {

struct ConfigOptions {
    std::string path;
    std::optional<int64_t> com, retry;
    std::optional<std::string> dir, adapter;
    std::optional<bool> stopPlc, skipSystemBlocks, noWriteBack;
};

std::optional<std::string> ApplyOptions(const ConfigOptions& o, app::ConfigDialogValues& v) {
    if (o.com) {
        if (*o.com < 1 || *o.com > 255) {
            return app::IntegerRangeMessage(1, 255);
        }
        v.portText = "COM" + std::to_string(*o.com);
    }
    if (o.retry) {
        v.retryMinutes = *o.retry;
    }
    if (o.dir) {
        v.directory = *o.dir;
    }
    if (o.adapter) {
        v.adapterName = *o.adapter;
    }
    v.stopPlc = o.stopPlc.value_or(v.stopPlc);
    v.skipSystemBlocks = o.skipSystemBlocks.value_or(v.skipSystemBlocks);
    v.noWriteBack = o.noWriteBack.value_or(v.noWriteBack);
    return app::ValidateConfigDialog(v);
}

int RunConfig(Context& ctx, const ConfigOptions& o) {
    app::Station station;
    if (!OpenSetForEdit(ctx, station, o.path)) {
        return kExitBadInput;
    }
    station.settings.adapterName = ReadAdapterName(ctx);
    app::ConfigDialogValues values = app::OpenConfigDialog(station.settings, ctx.programDirectory);
    if (auto message = ApplyOptions(o, values)) {
        return Refuse(ctx, *message);
    }
    app::ApplyConfigDialog(values, station.settings, station.record);
    if (!SaveSet(ctx, station, o.path)) {
        return kExitFailed;
    }
    if (o.adapter && !WriteAdapterName(ctx, station.settings.adapterName)) {
        return kExitFailed;
    }
    return kExitOk;
}

}  // namespace

void RegisterConfigCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("config", "Konfiguration der Station \xC3\xA4ndern");
    auto o = std::make_shared<ConfigOptions>();
    cmd->add_option("SET", o->path, "Sicherungssatz (.INI)")->required();
    cmd->add_option("--com", o->com, "serielle Schnittstelle (1 = COM1)");
    cmd->add_option("--dir", o->dir,
                    "Verzeichnis der Sicherungen (wird dem Dateinamen direkt vorangestellt)");
    cmd->add_option("--retry", o->retry, "Wiederholungsversuch alle ... min (1..32767)");
    cmd->add_option("--stop-plc", o->stopPlc,
                    "AG stoppen zum Sichern/R\xC3\xBC"
                    "cksichern (ja/nein)");
    cmd->add_option("--skip-system-blocks", o->skipSystemBlocks, "Keine SFC/SFB sichern bei S7 (ja/nein)");
    cmd->add_option("--no-write-back", o->noWriteBack,
                    "Kein Zur\xC3\xBC"
                    "ckschreiben (ja/nein)");
    cmd->add_option("--adapter", o->adapter, "Netzwerkadapter f\xC3\xBCr LAN-Verbindungen");
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunConfig(ctx, *o); });
}

}  // namespace vaultra::cli
