// The configuration dialog ("Konfiguration") without a window: what it shows, what it refuses and what OK
// changes in the station settings and the shared connection record.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <vaultra/records.h>

#include "app/station.h"

namespace vaultra::app {

struct ConfigDialogValues {
    std::string portText;  // "COM%d"; empty when no port is chosen
    std::string adapterName;
    std::string directory;
    int64_t retryMinutes = 10;
    bool stopPlc = false;
    bool skipSystemBlocks = true;
    bool noWriteBack = true;
};

// The dialog as it opens: the port text of comPort, the settings, and for an empty backupDirectory the
// program's own directory with a trailing separator.
ConfigDialogValues OpenConfigDialog(const StationSettings& settings, const std::string& programDirectory);

// The folder browser's result: the chosen folder followed by a separator.
std::string ChosenFolderText(const std::string& folder);

// The checks on OK: the retry minutes 1..32767 and a storable directory text of at most 260 characters.
std::optional<std::string> ValidateConfigDialog(const ConfigDialogValues& v);

// OK: comPort = the number after the port text's first three characters (when the text is not empty) and
// record.port = comPort - 1; then the directory as shown (no separator added), retry minutes, the three
// switches and the adapter name.
void ApplyConfigDialog(const ConfigDialogValues& v, StationSettings& settings, ConnectionRecord& record);

}  // namespace vaultra::app
