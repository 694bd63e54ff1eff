#include "platform/settings_store.h"

#include <cstdlib>
#include <sstream>

#include "platform/files.h"

namespace vaultra::platform {

namespace {

std::string Trim(const std::string& s) {
    const size_t first = s.find_first_not_of(" \t\r");
    if (first == std::string::npos) {
        return {};
    }
    const size_t last = s.find_last_not_of(" \t\r");
    return s.substr(first, last - first + 1);
}

}  // namespace

std::filesystem::path SettingsStore::DefaultPath() {
    std::filesystem::path base;
    if (const char* xdg = std::getenv("XDG_CONFIG_HOME"); xdg != nullptr && *xdg != '\0') {
        base = xdg;
    } else if (const char* home = std::getenv("HOME"); home != nullptr && *home != '\0') {
        base = std::filesystem::path(home) / ".config";
    } else {
        base = ".config";
    }
    return base / "QX" / "Vaultra Station.conf";
}

bool SettingsStore::Load() {
    sections_.clear();
    std::error_code ec;
    if (!std::filesystem::exists(path_, ec)) {
        return true;
    }
    const auto bytes = ReadFileBytes(path_, 1u << 20);
    if (!bytes) {
        return false;
    }
    std::istringstream in(*bytes);
    std::string line;
    std::string section;
    while (std::getline(in, line)) {
        line = Trim(line);
        if (line.empty() || line[0] == ';' || line[0] == '#') {
            continue;
        }
        if (line.front() == '[' && line.back() == ']') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t eq = line.find('=');
        if (eq != std::string::npos) {
            sections_[section][Trim(line.substr(0, eq))] = Trim(line.substr(eq + 1));
        }
    }
    return true;
}

bool SettingsStore::Save() const {
    std::ostringstream out;
    for (const auto& [section, keys] : sections_) {
        out << '[' << section << "]\n";
        for (const auto& [key, value] : keys) {
            out << key << '=' << value << '\n';
        }
        out << '\n';
    }
    std::error_code ec;
    std::filesystem::create_directories(path_.parent_path(), ec);
    return WriteFileReplacing(path_, out.str());
}

std::optional<std::string> SettingsStore::GetString(const std::string& section,
                                                    const std::string& key) const {
    const auto s = sections_.find(section);
    if (s == sections_.end()) {
        return std::nullopt;
    }
    const auto k = s->second.find(key);
    if (k == s->second.end()) {
        return std::nullopt;
    }
    return k->second;
}

int SettingsStore::GetInt(const std::string& section, const std::string& key, int fallback) const {
    const auto text = GetString(section, key);
    if (!text || text->empty()) {
        return fallback;
    }
    char* end = nullptr;
    const long value = std::strtol(text->c_str(), &end, 10);
    return (end != nullptr && *end == '\0') ? static_cast<int>(value) : fallback;
}

void SettingsStore::SetString(const std::string& section, const std::string& key, const std::string& value) {
    // One line per key: line breaks cannot be stored.
    std::string clean = value;
    for (char& c : clean) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    sections_[section][key] = clean;
}

void SettingsStore::SetInt(const std::string& section, const std::string& key, int value) {
    SetString(section, key, std::to_string(value));
}

}  // namespace vaultra::platform
