// The station's user texts in one language: German as written in the code, English from a small catalogue
// that maps each German text (format strings included) to its English form. Shared by every front end.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vaultra::app {

enum class Language { German, English };

// The language of this process; German until chosen otherwise.
void SetLanguage(Language language);
Language CurrentLanguage();

// "de", "en", or a locale name such as "en_US.UTF-8" / "de_DE"; nothing for anything else ("C", "POSIX").
std::optional<Language> LanguageFromName(std::string_view name);

// The text in the chosen language: the German text itself, or its English entry (the German text again
// when the catalogue has none, so a missing entry never loses the message).
const char* Tr(const char* german);
std::string Tr(const std::string& german);

}  // namespace vaultra::app
