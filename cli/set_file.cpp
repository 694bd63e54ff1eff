#include "cli/set_file.h"

#include <CLI/CLI.hpp>

#include <ostream>

#include "app/text_catalogue.h"
#include "cli/cli_help.h"
#include "cli/terminal_text.h"

namespace vaultra::cli {

using app::Tr;

std::optional<app::LoadReport> OpenSet(Context& ctx, app::Station& station, const std::string& path) {
    auto report = app::LoadBackupSet(station, path, ctx.now());
    if (!report) {
        ctx.err << Format(Tr("Der Sicherungssatz \"%s\" kann nicht gelesen werden."), Printable(path).c_str())
                << '\n';
        return std::nullopt;
    }
    for (const std::string& warning : report->warnings) {
        ctx.err << Tr("Warnung: ") << Printable(warning) << '\n';
    }
    return report;
}

bool OpenSetForEdit(Context& ctx, app::Station& station, const std::string& path, bool force) {
    const auto report = OpenSet(ctx, station, path);
    if (!report) {
        return false;
    }
    if (!report->Clean() && !force) {
        ctx.err << Format(Tr("Der Sicherungssatz \"%s\" ist nicht einwandfrei lesbar und bleibt unver\xC3\xA4"
                             "ndert; mit --force wird er trotzdem neu geschrieben."),
                          Printable(path).c_str())
                << '\n';
        return false;
    }
    return true;
}

bool OpenSetToRun(Context& ctx, app::Station& station, const std::string& path) {
    const auto report = OpenSet(ctx, station, path);
    if (!report) {
        return false;
    }
    if (!report->Clean()) {
        ctx.err << Format(Tr("Der Sicherungssatz \"%s\" ist nicht einwandfrei lesbar; es wird nichts "
                             "gesichert."),
                          Printable(path).c_str())
                << '\n';
        return false;
    }
    return true;
}

void AddForceFlag(CLI::App& cmd, bool& force) {
    cmd.add_flag("--force", force, Tr("auch einen nicht einwandfrei lesbaren Sicherungssatz neu schreiben"));
    cmd.footer(StationHelpFooter());
}

bool SaveSet(Context& ctx, const app::Station& station, const std::string& path) {
    if (!app::SaveBackupSet(station, path)) {
        ctx.err << Format(Tr("Der Sicherungssatz \"%s\" kann nicht geschrieben werden."),
                          Printable(path).c_str())
                << '\n';
        return false;
    }
    return true;
}

int Refuse(Context& ctx, const std::string& message) {
    ctx.err << Printable(Tr(message)) << '\n';
    return kExitBadInput;
}

void Confirm(Context& ctx, const std::string& message) {
    if (ctx.level != OutputLevel::Quiet && ctx.level != OutputLevel::Json) {
        ctx.out << Printable(message) << '\n';
    }
}

}  // namespace vaultra::cli
