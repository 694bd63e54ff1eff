#include "app/text_catalogue.h"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <unordered_map>

#include "app/text_catalogue_en.h"

namespace vaultra::app {

namespace {

std::atomic<Language> g_language{Language::German};

const std::unordered_map<std::string_view, const char*>& EnglishTable() {
    static const std::unordered_map<std::string_view, const char*> table = [] {
        std::unordered_map<std::string_view, const char*> map;
        for (const auto& [german, english] : kEnglishTexts) {
            map.emplace(german, english);
        }
        return map;
    }();
    return table;
}

}  // namespace

void SetLanguage(Language language) {
    g_language = language;
}

Language CurrentLanguage() {
    return g_language;
}

std::optional<Language> LanguageFromName(std::string_view name) {
    std::string lower(name.substr(0, 2));
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    const bool whole =
        name.size() == 2 ||
        (name.size() > 2 && (name[2] == '_' || name[2] == '.' || name[2] == '-' || name[2] == '@'));
    if (!whole) {
        return std::nullopt;
    }
    if (lower == "de") {
        return Language::German;
    }
    if (lower == "en") {
        return Language::English;
    }
    return std::nullopt;
}

const char* Tr(const char* german) {
    if (g_language == Language::German || german == nullptr) {
        return german;
    }
    const auto& table = EnglishTable();
    const auto it = table.find(german);
    return it == table.end() ? german : it->second;
}

std::string Tr(const std::string& german) {
    return Tr(german.c_str());
}

}  // namespace vaultra::app
