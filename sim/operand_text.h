// The operand texts plcsim takes on its command line to preset request bits and name strings: "M10.0",
// "E11.0", "A4.7" (also F, I, Q) and "DB5.DBX2.1" for bits, "DB5.DBB4" for a string. Both PLC families
// read them the same way; what they address differs.
#pragma once

#include <optional>
#include <string>

namespace vaultra::sim {

enum class OperandArea { Flags, Inputs, Outputs, DataBlock };

struct BitOperandText {
    OperandArea area = OperandArea::Flags;
    unsigned db = 0;  // data block number, 0..65535
    unsigned byte = 0;
    unsigned bit = 0;  // 0..7
};

struct StringOperandText {
    unsigned db = 0;
    unsigned byte = 0;  // of the string's header
};

std::optional<BitOperandText> ParseBitOperandText(const std::string& text);
std::optional<StringOperandText> ParseStringOperandText(const std::string& text);

// "OPERAND=VALUE" split at the first '='; nothing when there is none.
struct Preset {
    std::string operand;
    std::string value;
};
std::optional<Preset> SplitPreset(const std::string& preset);

}  // namespace vaultra::sim
