#include "s5file/block_names.h"

#include <algorithm>
#include <cctype>
#include <string>

namespace vaultra::qrf {

namespace {

struct TypeEntry {
    uint8_t code;
    std::string_view name;
};

constexpr std::array<TypeEntry, 18> kTypes{{{1, "DB"},
                                            {2, "SB"},
                                            {4, "PB"},
                                            {5, "FX"},
                                            {6, "DV"},
                                            {8, "FB"},
                                            {10, "FVX"},
                                            {12, "DX"},
                                            {13, "FV"},
                                            {16, "OB"},
                                            {17, "DVX"},
                                            {33, "SK"},
                                            {49, "PK"},
                                            {65, "FK"},
                                            {81, "OK"},
                                            {90, "FKX"},
                                            {91, "DK"},
                                            {92, "DKX"}}};

constexpr std::array<uint8_t, 7> kDocumentedTypes{1, 2, 4, 5, 8, 12, 16};  // DB SB PB FX FB DX OB
constexpr std::array<uint8_t, 5> kDocumentationByName{1, 2, 4, 8, 16};     // "DO." after DB SB PB FB OB
constexpr std::string_view kDocumentationMark = "DO.";

std::optional<uint8_t> CodeOf(std::string_view letters) {
    for (const TypeEntry& entry : kTypes) {
        if (entry.name == letters) {
            return entry.code;
        }
    }
    return std::nullopt;
}

bool Contains(std::span<const uint8_t> codes, uint8_t code) {
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

std::optional<uint8_t> ParseNumber(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
        if (value > 255) {
            return std::nullopt;
        }
    }
    return static_cast<uint8_t>(value);
}

void PutBigEndian(std::span<uint8_t> image, size_t offset, uint16_t value) {
    image[offset] = static_cast<uint8_t>(value >> 8);
    image[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

}  // namespace

std::string_view TypeName(uint8_t code) {
    for (const TypeEntry& entry : kTypes) {
        if (entry.code == code) {
            return entry.name;
        }
    }
    return {};
}

bool HasDocumentationName(uint8_t code) {
    return Contains(kDocumentedTypes, code);
}

uint8_t DocumentationTypeOf(const BlockName& name) {
    const std::string letters{static_cast<char>(name[0]), static_cast<char>(name[1])};
    const auto code = CodeOf(letters);
    return code && HasDocumentationName(*code) ? *code : 0;
}

uint8_t DocumentationNumberOf(const BlockName& name) {
    const std::string digits(name.begin() + 5, name.end());
    return ParseNumber(digits).value_or(0);
}

BlockName NameOf(const BlockKey& key) {
    std::string text(TypeName(key.type));
    if (key.documentation != 0) {
        text += kDocumentationMark;
    }
    if (text.size() < 5) {
        text.resize(5, ' ');
    }
    const unsigned number = key.number;
    text += static_cast<char>('0' + number / 100);
    text += static_cast<char>('0' + number / 10 % 10);
    text += static_cast<char>('0' + number % 10);
    // A three-letter type has no room for "DO." in the 8-character name field.
    BlockName name{};
    std::copy_n(text.begin(), kBlockNameLength, name.begin());
    return name;
}

std::optional<BlockKey> ParseBlockName(std::string_view text) {
    std::string compact;
    for (char c : text) {
        if (c != ' ') {
            compact += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    const size_t letterEnd =
        std::min(compact.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZ"), compact.size());
    std::string_view letters = std::string_view(compact).substr(0, letterEnd);
    std::string_view rest = std::string_view(compact).substr(letterEnd);
    BlockKey key{};
    if (letters.size() > 2 && letters.ends_with("DO") && rest.starts_with('.')) {
        const auto code = CodeOf(letters.substr(0, letters.size() - 2));
        if (!code || !Contains(kDocumentationByName, *code)) {
            return std::nullopt;
        }
        key.type = *code;
        key.documentation = 1;
        rest.remove_prefix(1);
    } else {
        const auto code = CodeOf(letters);
        if (!code) {
            return std::nullopt;
        }
        key.type = *code;
    }
    const auto number = ParseNumber(rest);
    if (!number) {
        return std::nullopt;
    }
    key.number = *number;
    return key;
}

int HeaderLength(const BlockKey& key) {
    if (key.documentation != 0) {
        return 0;
    }
    switch (key.type) {
        case 6:
        case 10:
        case 13:
        case 17:
            return 8;
        default:
            return 10;
    }
}

void ApplyHeader(const BlockKey& key, std::span<uint8_t> image) {
    const int headerLength = HeaderLength(key);
    if (image.size() < static_cast<size_t>(headerLength)) {
        return;
    }
    const uint16_t words = static_cast<uint16_t>((key.length + 1u) / 2);
    if (headerLength == 10) {
        image[0] = 0x70;
        image[1] = 0x70;
        image[2] = key.type;
        image[3] = key.number;
        image[4] = key.headerByte4;
        std::copy_n(key.headerMore, 3, image.begin() + 5);
        PutBigEndian(image, 8, words);
    } else if (headerLength == 8) {
        image[0] = key.type;
        image[1] = key.number;
        PutBigEndian(image, 4, words);
        PutBigEndian(image, 6, static_cast<uint16_t>(words > 4 ? words - 4 : 0));
    }
}

}  // namespace vaultra::qrf
