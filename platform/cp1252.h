// Windows-1252 <-> UTF-8. Texts are UTF-8 in memory and Windows-1252 in the files we share with other
// stations.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace vaultra::platform {

// Every byte has a UTF-8 form; the five bytes Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D)
// become the control characters of the same number, so that they survive a round trip.
std::string Cp1252ToUtf8(std::string_view bytes);

// nullopt when the text is not valid UTF-8 or holds a character without a Windows-1252 form.
std::optional<std::string> Utf8ToCp1252(std::string_view text);

// As above, but every character without a Windows-1252 form (or broken UTF-8 byte) becomes '?'.
std::string Utf8ToCp1252Lossy(std::string_view text);

// The first character of text that has no Windows-1252 form (as UTF-8), or nullopt when all have one.
std::optional<std::string> FirstUnencodableCharacter(std::string_view text);

// Number of characters (code points) of a UTF-8 text; a broken byte counts as one character.
size_t Utf8Length(std::string_view text);

// The first `count` characters of a UTF-8 text.
std::string Utf8Prefix(std::string_view text, size_t count);

}  // namespace vaultra::platform
