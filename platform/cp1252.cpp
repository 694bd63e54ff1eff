#include "platform/cp1252.h"

#include <array>
#include <cstdint>

namespace vaultra::platform {

namespace {

// Code points of the bytes 0x80..0x9F; the undefined ones map to the C1 control of the same value.
constexpr std::array<char32_t, 32> kHighControls = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char32_t ByteToCodePoint(unsigned char b) {
    if (b >= 0x80 && b <= 0x9F) {
        return kHighControls[b - 0x80];
    }
    return b;
}

std::optional<unsigned char> CodePointToByte(char32_t cp) {
    if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
        return static_cast<unsigned char>(cp);
    }
    for (size_t i = 0; i < kHighControls.size(); ++i) {
        if (kHighControls[i] == cp) {
            return static_cast<unsigned char>(0x80 + i);
        }
    }
    return std::nullopt;
}

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Decodes one UTF-8 character at pos and advances pos; nullopt (pos advanced by one) for a broken sequence.
std::optional<char32_t> DecodeUtf8(std::string_view text, size_t& pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    size_t extra = 0;
    char32_t cp = 0;
    if (lead < 0x80) {
        ++pos;
        return lead;
    } else if ((lead & 0xE0) == 0xC0) {
        extra = 1;
        cp = lead & 0x1F;
    } else if ((lead & 0xF0) == 0xE0) {
        extra = 2;
        cp = lead & 0x0F;
    } else if ((lead & 0xF8) == 0xF0) {
        extra = 3;
        cp = lead & 0x07;
    } else {
        ++pos;
        return std::nullopt;
    }
    if (pos + extra >= text.size()) {
        ++pos;
        return std::nullopt;
    }
    for (size_t i = 1; i <= extra; ++i) {
        const auto c = static_cast<unsigned char>(text[pos + i]);
        if ((c & 0xC0) != 0x80) {
            ++pos;
            return std::nullopt;
        }
        cp = (cp << 6) | (c & 0x3F);
    }
    pos += extra + 1;
    return cp;
}

}  // namespace

std::string Cp1252ToUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    for (const char c : bytes) {
        AppendUtf8(out, ByteToCodePoint(static_cast<unsigned char>(c)));
    }
    return out;
}

namespace {

// Converts; a character without a form becomes `replacement`, or ends the conversion when there is none.
std::optional<std::string> Convert(std::string_view text, std::optional<char> replacement) {
    std::string out;
    out.reserve(text.size());
    size_t pos = 0;
    while (pos < text.size()) {
        const auto cp = DecodeUtf8(text, pos);
        const auto byte = cp ? CodePointToByte(*cp) : std::nullopt;
        if (!byte && !replacement) {
            return std::nullopt;
        }
        out += byte ? static_cast<char>(*byte) : *replacement;
    }
    return out;
}

}  // namespace

std::optional<std::string> Utf8ToCp1252(std::string_view text) {
    return Convert(text, std::nullopt);
}

std::string Utf8ToCp1252Lossy(std::string_view text) {
    return *Convert(text, '?');
}

std::optional<std::string> FirstUnencodableCharacter(std::string_view text) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = pos;
        const auto cp = DecodeUtf8(text, pos);
        if (!cp || !CodePointToByte(*cp)) {
            return std::string(text.substr(start, pos - start));
        }
    }
    return std::nullopt;
}

size_t Utf8Length(std::string_view text) {
    size_t pos = 0;
    size_t count = 0;
    while (pos < text.size()) {
        DecodeUtf8(text, pos);
        ++count;
    }
    return count;
}

std::string Utf8Prefix(std::string_view text, size_t count) {
    size_t pos = 0;
    while (pos < text.size() && count > 0) {
        DecodeUtf8(text, pos);
        --count;
    }
    return std::string(text.substr(0, pos));
}

}  // namespace vaultra::platform
