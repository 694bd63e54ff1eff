#include "cli/set_file.h"

#include <ostream>

namespace vaultra::cli {

std::optional<app::LoadReport> OpenSet(Context& ctx, app::Station& station, const std::string& path) {
    auto report = app::LoadBackupSet(station, path, ctx.now());
    if (!report) {
        ctx.err << "Der Sicherungssatz \"" << path << "\" kann nicht gelesen werden.\n";
        return std::nullopt;
    }
    for (const std::string& warning : report->warnings) {
        ctx.err << "Warnung: " << warning << '\n';
    }
    return report;
}

bool OpenSetForEdit(Context& ctx, app::Station& station, const std::string& path) {
    const auto report = OpenSet(ctx, station, path);
    if (!report) {
        return false;
    }
    if (report->entriesDropped) {
        ctx.err << "Der Sicherungssatz wird nicht ver\xC3\xA4ndert, damit keine Eintr\xC3\xA4ge verloren "
                   "gehen.\n";
        return false;
    }
    return true;
}

bool SaveSet(Context& ctx, const app::Station& station, const std::string& path) {
    if (!app::SaveBackupSet(station, path)) {
        ctx.err << "Der Sicherungssatz \"" << path << "\" kann nicht geschrieben werden.\n";
        return false;
    }
    return true;
}

int Refuse(Context& ctx, const std::string& message) {
    ctx.err << message << '\n';
    return kExitBadInput;
}

}  // namespace vaultra::cli
