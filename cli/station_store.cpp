#include "cli/station_store.h"

#include <ostream>

#include "platform/settings_store.h"

namespace vaultra::cli {

std::string ReadAdapterName(Context& ctx) {
    platform::SettingsStore store(ctx.settingsStorePath);
    if (!store.Load()) {
        return {};
    }
    return store.GetString("Settings", "AdapterName").value_or("");
}

bool WriteAdapterName(Context& ctx, const std::string& name) {
    platform::SettingsStore store(ctx.settingsStorePath);
    if (!store.Load()) {
        ctx.err << "Die Einstellungen \"" << ctx.settingsStorePath.string()
                << "\" k\xC3\xB6nnen nicht gelesen werden.\n";
        return false;
    }
    store.SetString("Settings", "AdapterName", name);
    if (!store.Save()) {
        ctx.err << "Die Einstellungen \"" << ctx.settingsStorePath.string()
                << "\" k\xC3\xB6nnen nicht geschrieben werden.\n";
        return false;
    }
    return true;
}

}  // namespace vaultra::cli
