#include "app/config_dialog.h"

#include "app/entry_dialog.h"
#include "app/scan.h"
#include "platform/cp1252.h"

namespace vaultra::app {

namespace {

constexpr char kSeparator = '/';

std::string WithSeparator(const std::string& folder) {
    if (!folder.empty() && folder.back() == kSeparator) {
        return folder;
    }
    return folder + kSeparator;
}

}  // namespace

ConfigDialogValues OpenConfigDialog(const StationSettings& settings, const std::string& programDirectory) {
    ConfigDialogValues v;
    v.portText = "COM" + std::to_string(settings.comPort);
    v.adapterName = settings.adapterName;
    v.directory =
        settings.backupDirectory.empty() ? WithSeparator(programDirectory) : settings.backupDirectory;
    v.retryMinutes = settings.retryMinutes;
    v.stopPlc = settings.stopPlc != 0;
    v.skipSystemBlocks = settings.skipSystemBlocks != 0;
    v.noWriteBack = settings.noWriteBack != 0;
    return v;
}

std::string ChosenFolderText(const std::string& folder) {
    return WithSeparator(folder);
}

std::optional<std::string> ValidateConfigDialog(const ConfigDialogValues& v) {
    if (v.retryMinutes < 1 || v.retryMinutes > 32767) {
        return IntegerRangeMessage(1, 32767);
    }
    if (platform::Utf8Length(v.directory) > kDirectoryWidth) {
        return TextLengthMessage(kDirectoryWidth);
    }
    if (const auto bad = platform::FirstUnencodableCharacter(v.directory)) {
        return UnstorableCharacterMessage(*bad);
    }
    return std::nullopt;
}

void ApplyConfigDialog(const ConfigDialogValues& v, StationSettings& settings, ConnectionRecord& record) {
    if (!v.portText.empty()) {
        settings.comPort = static_cast<uint32_t>(AtoI(std::string_view(v.portText).substr(3)));
        record.port = static_cast<uint16_t>(settings.comPort - 1);
    }
    settings.backupDirectory = v.directory;
    settings.retryMinutes = static_cast<uint32_t>(v.retryMinutes);
    settings.stopPlc = v.stopPlc ? 1 : 0;
    settings.skipSystemBlocks = v.skipSystemBlocks ? 1 : 0;
    settings.noWriteBack = v.noWriteBack ? 1 : 0;
    settings.adapterName = v.adapterName;
}

}  // namespace vaultra::app
