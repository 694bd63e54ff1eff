#include "shell/user_settings.h"

#include <algorithm>
#include <charconv>
#include <string_view>

namespace vaultra::shell {

namespace {

constexpr const char* kSettings = "Settings";
constexpr const char* kRecentSection = "Recent File List";

// Reads the next comma-separated number; false (value untouched) when the field does not parse.
template <typename T>
bool NextField(std::string_view& rest, T& value) {
    const auto comma = rest.find(',');
    std::string_view field = rest.substr(0, comma);
    rest = comma == std::string_view::npos ? std::string_view() : rest.substr(comma + 1);
    while (!field.empty() && field.front() == ' ') {
        field.remove_prefix(1);
    }
    T parsed{};
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), parsed);
    if (error != std::errc() || field.empty()) {
        return false;
    }
    (void)end;
    value = parsed;
    return true;
}

}  // namespace

WindowPlacement ParseWindowPos(const std::string& text) {
    WindowPlacement p;
    std::string_view rest(text);
    // Like a scanf of the ten fields: the first field that fails ends the parse.
    NextField(rest, p.flags) && NextField(rest, p.showState) && NextField(rest, p.minX) &&
        NextField(rest, p.minY) && NextField(rest, p.maxX) && NextField(rest, p.maxY) &&
        NextField(rest, p.left) && NextField(rest, p.top) && NextField(rest, p.right) &&
        NextField(rest, p.bottom);
    return p;
}

std::string FormatWindowPos(const WindowPlacement& p) {
    std::string out;
    for (const long long v :
         {static_cast<long long>(p.flags), static_cast<long long>(p.showState),
          static_cast<long long>(p.minX), static_cast<long long>(p.minY), static_cast<long long>(p.maxX),
          static_cast<long long>(p.maxY), static_cast<long long>(p.left), static_cast<long long>(p.top),
          static_cast<long long>(p.right), static_cast<long long>(p.bottom)}) {
        if (!out.empty()) {
            out += ',';
        }
        out += std::to_string(v);
    }
    return out;
}

void RecentFileList::Add(const std::string& path) {
    Remove(path);
    files_.insert(files_.begin(), path);
    if (files_.size() > kRecentFiles) {
        files_.resize(kRecentFiles);
    }
}

void RecentFileList::Remove(const std::string& path) {
    files_.erase(std::remove(files_.begin(), files_.end(), path), files_.end());
}

void RecentFileList::Load(const platform::SettingsStore& store) {
    files_.clear();
    for (std::size_t i = 1; i <= kRecentFiles; ++i) {
        const auto file = store.GetString(kRecentSection, "File" + std::to_string(i));
        if (file && !file->empty()) {
            files_.push_back(*file);
        }
    }
}

void RecentFileList::Save(platform::SettingsStore& store) const {
    for (std::size_t i = 1; i <= kRecentFiles; ++i) {
        store.SetString(kRecentSection, "File" + std::to_string(i), i <= files_.size() ? files_[i - 1] : "");
    }
}

std::size_t Utf8Characters(const std::string& text) {
    return static_cast<std::size_t>(std::count_if(
        text.begin(), text.end(), [](char c) { return (static_cast<unsigned char>(c) & 0xC0) != 0x80; }));
}

std::string RecentFileMenuText(const std::string& path, std::size_t maxCharacters) {
    if (Utf8Characters(path) <= maxCharacters) {
        return path;
    }
    const auto slash = path.find_last_of('/');
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    const auto firstFolderEnd = path.find('/', 1);
    const std::string head =
        firstFolderEnd == std::string::npos ? std::string() : path.substr(0, firstFolderEnd);
    const std::string shortened = head + "/.../" + name;
    if (Utf8Characters(shortened) <= maxCharacters) {
        return shortened;
    }
    // Even the name is too long: its end stays, which tells sets of one series apart.
    std::string tail = name;
    while (Utf8Characters(tail) > maxCharacters - 3) {
        std::size_t cut = 1;
        while (cut < tail.size() && (static_cast<unsigned char>(tail[cut]) & 0xC0) == 0x80) {
            ++cut;
        }
        tail.erase(0, cut);
    }
    return "..." + tail;
}

void UserSettings::Load(platform::SettingsStore& store) {
    language = store.GetInt(kSettings, "Language", kNoLanguage);
    windowPos = store.GetString(kSettings, "WindowPos").value_or("");
    adapterName = store.GetString(kSettings, "AdapterName").value_or("");
    recent.Load(store);
}

void UserSettings::SaveAtEnd(platform::SettingsStore& store) const {
    recent.Save(store);
    store.SetString(kSettings, "WindowPos", windowPos);
    store.SetString(kSettings, "AdapterName", adapterName);
}

}  // namespace vaultra::shell
