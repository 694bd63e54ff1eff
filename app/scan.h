// Small scanners with the C library's scanf/atoi rules that the dialog texts were defined with, and the
// printf-style formatting of the fixed texts.
#pragma once

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <string_view>

namespace vaultra::app {

// Reads a text from left to right; every read advances only on success.
class TextScanner {
public:
    explicit TextScanner(std::string_view text) : text_(text) {}

    // %u: optional white space, then at least one decimal digit; saturates at 0xFFFFFFFF.
    std::optional<uint32_t> Unsigned();
    // %<width>d: optional white space, an optional sign and digits, at most `width` characters without the
    // white space.
    std::optional<int32_t> Signed(size_t width);
    // %c: any one character.
    std::optional<char> Char();
    // A literal character of the format.
    bool Literal(char c);
    // A literal text of the format.
    bool Literal(std::string_view s);

    std::string_view Rest() const { return text_.substr(pos_); }

private:
    void SkipSpace();
    std::string_view text_;
    size_t pos_ = 0;
};

// The value of a hexadecimal digit (either case), -1 for any other character.
int HexDigitValue(char c);

// snprintf into a string (texts of at most 127 bytes).
template <typename... Args>
std::string Sprintf(const char* format, Args... args) {
    char buffer[128];
    const int n = std::snprintf(buffer, sizeof buffer, format, args...);
    return n < 0 ? std::string()
                 : std::string(buffer, std::min<size_t>(static_cast<size_t>(n), sizeof buffer - 1));
}

// printf into a string of any length, for texts that carry names and paths.
__attribute__((format(printf, 1, 2))) std::string Format(const char* format, ...);

// atoi: optional white space, sign, digits; 0 when there are none. Saturates instead of overflowing.
int32_t AtoI(std::string_view text);

}  // namespace vaultra::app
