// The per-user settings store: an INI file "$XDG_CONFIG_HOME/QX/Vaultra Station.conf" (default ~/.config)
// with sections and keys, shared by the desktop program and vaultra-cli.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>

namespace vaultra::platform {

class SettingsStore {
public:
    // The store of the current user.
    static std::filesystem::path DefaultPath();

    explicit SettingsStore(std::filesystem::path path) : path_(std::move(path)) {}

    // Reads the file; a missing file is an empty store (true). False only when it exists but cannot be read.
    bool Load();
    // Writes every section (creating the directory); false when that fails.
    bool Save() const;

    std::optional<std::string> GetString(const std::string& section, const std::string& key) const;
    int GetInt(const std::string& section, const std::string& key, int fallback) const;
    void SetString(const std::string& section, const std::string& key, const std::string& value);
    void SetInt(const std::string& section, const std::string& key, int value);

    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
    std::map<std::string, std::map<std::string, std::string>> sections_;
};

}  // namespace vaultra::platform
