#include <CLI/CLI.hpp>

#include <filesystem>
#include <optional>
#include <ostream>

#include "app/config_dialog.h"
#include "app/entry_dialog.h"
#include "app/text_catalogue.h"
#include "cli/cli_help.h"
#include "cli/set_commands.h"
#include "cli/set_file.h"
#include "cli/station_store.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

namespace {

struct ConfigOptions {
    std::string path;
    bool force = false;
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

// The engine puts the directory straight in front of every file name; a directory that exists but was
// typed without its separator gets one, since a prefix like "/data/backups" would name files beside it.
std::string DirectoryWithSeparator(Context& ctx, const std::string& dir) {
    std::error_code ec;
    if (dir.empty() || dir.back() == '/' || !std::filesystem::is_directory(dir, ec)) {
        return dir;
    }
    ctx.err << Format(Tr("Hinweis: Das Verzeichnis \"%s\" wird mit \"/\" am Ende gespeichert, da die "
                         "Dateinamen ohne Trennzeichen angeh\xC3\xA4ngt werden."),
                      Printable(dir).c_str())
            << '\n';
    return dir + "/";
}

int RunConfig(Context& ctx, ConfigOptions o) {
    app::Station station;
    if (!OpenSetForEdit(ctx, station, o.path, o.force)) {
        return kExitBadInput;
    }
    station.settings.adapterName = ReadAdapterName(ctx);
    app::ConfigDialogValues values = app::OpenConfigDialog(station.settings, ctx.programDirectory);
    // The dialog offers the program's directory for an empty setting; without --dir nothing is confirmed.
    values.directory = station.settings.backupDirectory;
    if (o.dir) {
        o.dir = DirectoryWithSeparator(ctx, *o.dir);
    }
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
    Confirm(ctx, Format(Tr("Konfiguration von \"%s\" gespeichert."), o.path.c_str()));
    return kExitOk;
}

}  // namespace

void RegisterConfigCommand(Cli& cli) {
    auto* cmd = cli.app().add_subcommand("config", Tr("Konfiguration der Station \xC3\xA4ndern"));
    auto o = std::make_shared<ConfigOptions>();
    cmd->add_option("SET", o->path, Tr("Sicherungssatz (.INI)"))->required();
    cmd->add_option("--com", o->com, Tr("serielle Schnittstelle (1 = COM1; 1..255)"));
    cmd->add_option("--dir", o->dir,
                    Tr("Verzeichnis der Sicherungen; es wird dem Dateinamen ohne Trennzeichen vorangestellt, "
                       "ein vorhandenes Verzeichnis ohne \"/\" am Ende bekommt eines. Ohne --dir bleibt "
                       "das Verzeichnis, wie es ist."));
    cmd->add_option("--retry", o->retry, Tr("Wiederholungsversuch alle ... min (1..32767)"));
    cmd->add_option("--stop-plc", o->stopPlc,
                    Tr("AG stoppen zum Sichern/R\xC3\xBC"
                       "cksichern (1/0)"));
    cmd->add_option("--skip-system-blocks", o->skipSystemBlocks, Tr("Keine SFC/SFB sichern bei S7 (1/0)"));
    cmd->add_option("--no-write-back", o->noWriteBack,
                    Tr("Kein Zur\xC3\xBC"
                       "ckschreiben (1/0)"));
    cmd->add_option("--adapter", o->adapter, Tr("Netzwerkadapter f\xC3\xBCr LAN-Verbindungen"));
    cmd->add_flag("--force", o->force,
                  Tr("auch einen nicht einwandfrei lesbaren Sicherungssatz neu schreiben"));
    cmd->footer(StationHelpFooter());
    Context& ctx = cli.context();
    cmd->callback([&ctx, o] { ctx.exitCode = RunConfig(ctx, *o); });
}

}  // namespace vaultra::cli
