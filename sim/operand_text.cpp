#include "sim/operand_text.h"

#include <cstdio>

namespace vaultra::sim {
namespace {

std::optional<OperandArea> AreaOfLetter(char letter) {
    switch (letter) {
        case 'M':
        case 'F':
            return OperandArea::Flags;
        case 'E':
        case 'I':
            return OperandArea::Inputs;
        case 'A':
        case 'Q':
            return OperandArea::Outputs;
        default:
            return std::nullopt;
    }
}

}  // namespace

std::optional<BitOperandText> ParseBitOperandText(const std::string& text) {
    BitOperandText a;
    int used = 0;
    if (std::sscanf(text.c_str(), "DB%u.DBX%u.%u%n", &a.db, &a.byte, &a.bit, &used) == 3 &&
        static_cast<std::size_t>(used) == text.size() && a.db <= 0xFFFF) {
        a.area = OperandArea::DataBlock;
    } else {
        char letter = 0;
        if (std::sscanf(text.c_str(), "%c%u.%u%n", &letter, &a.byte, &a.bit, &used) != 3 ||
            static_cast<std::size_t>(used) != text.size() || !AreaOfLetter(letter)) {
            return std::nullopt;
        }
        a.area = *AreaOfLetter(letter);
        a.db = 0;
    }
    return a.bit <= 7 && a.byte <= 0xFFFF ? std::optional(a) : std::nullopt;
}

std::optional<StringOperandText> ParseStringOperandText(const std::string& text) {
    StringOperandText s;
    int used = 0;
    if (std::sscanf(text.c_str(), "DB%u.DBB%u%n", &s.db, &s.byte, &used) != 2 ||
        static_cast<std::size_t>(used) != text.size() || s.db > 0xFFFF || s.byte > 0xFFFE) {
        return std::nullopt;
    }
    return s;
}

std::optional<Preset> SplitPreset(const std::string& preset) {
    const auto equals = preset.find('=');
    if (equals == std::string::npos) {
        return std::nullopt;
    }
    return Preset{preset.substr(0, equals), preset.substr(equals + 1)};
}

}  // namespace vaultra::sim
