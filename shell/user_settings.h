// The desktop program's values in the per-user settings store it shares with vaultra-cli: language,
// window placement, network adapter and the recently used sets.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "platform/settings_store.h"

namespace vaultra::shell {

// The stored window placement: flags, show state, minimised and maximised positions, normal rectangle.
struct WindowPlacement {
    unsigned flags = 0;
    unsigned showState = 0;
    int minX = 0, minY = 0, maxX = 0, maxY = 0;
    int left = 0, top = 0, right = 0, bottom = 0;
    bool operator==(const WindowPlacement&) const = default;
};
inline constexpr unsigned kRestoreToMaximised = 2;
inline constexpr unsigned kShowNormal = 1;
inline constexpr unsigned kShowMinimised = 2;
inline constexpr unsigned kShowMaximised = 3;

// "%u,%u,%d,%d,%d,%d,%d,%d,%d,%d"; fields that do not parse stay 0.
WindowPlacement ParseWindowPos(const std::string& text);
std::string FormatWindowPos(const WindowPlacement& p);
// A placement is applied only when its flags or its show state are set.
inline bool PlacementApplies(const WindowPlacement& p) {
    return p.flags != 0 || p.showState != 0;
}

inline constexpr int kNoLanguage = -1;
inline constexpr int kGerman = 0;
inline constexpr int kEnglish = 1;
inline constexpr std::size_t kRecentFiles = 4;

// The four most recently used sets, newest first.
class RecentFileList {
public:
    void Add(const std::string& path);
    void Remove(const std::string& path);
    const std::vector<std::string>& Files() const { return files_; }
    void Load(const platform::SettingsStore& store);
    void Save(platform::SettingsStore& store) const;

private:
    std::vector<std::string> files_;
};

// The menu text of a recent file: at most 30 characters, keeping the file name and the start of the path.
std::string RecentFileMenuText(const std::string& path, std::size_t maxCharacters = 30);
std::size_t Utf8Characters(const std::string& text);

struct UserSettings {
    int language = kNoLanguage;
    std::string windowPos;
    std::string adapterName;
    RecentFileList recent;

    // Reads every value; a store that cannot be read gives the defaults.
    void Load(platform::SettingsStore& store);
    // Writes window placement, adapter and recent files (the language is written when it is chosen).
    void SaveAtEnd(platform::SettingsStore& store) const;
};

}  // namespace vaultra::shell
