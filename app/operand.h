// PLC operands of the trigger: request bits ("M10.3", "DB5.DBX3.7") and the string that names the file
// ("DB10.DBB4"). Parsing for the PLC accesses, and the entry dialog's checks with their canonical forms.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace vaultra::app {

// Which word access function of the driver reaches an operand.
enum class OperandArea { Outputs, Inputs, Flags, DataBlock };

struct BitOperand {
    OperandArea area = OperandArea::Flags;
    uint32_t dataBlock = 0;  // DataBlock only
    uint32_t byte = 0;
    uint32_t bit = 0;
};

struct StringOperand {
    uint32_t dataBlock = 0;
    uint32_t byte = 0;  // byte of the string header
};

// A bit operand as the trigger reads it: "DB%u.DBX%u.%u" when the text begins with "DB", else "%c%u.%u" with
// the letters A/Q (outputs), E/I (inputs), M/F (flags). nullopt for any other text or letter. Text after the
// last number is ignored; numbers are not range-checked here.
std::optional<BitOperand> ParseBitOperand(std::string_view text);

// "DB%u.DBB%u"; nullopt otherwise.
std::optional<StringOperand> ParseStringOperand(std::string_view text);

// The driver addresses 16-bit words: word = byte / 2, and bit n of byte b is bit n + 8 of the word for an
// even byte and bit n for an odd one.
inline uint32_t OperandWord(uint32_t byte) {
    return byte / 2;
}
inline uint32_t OperandWordBit(uint32_t byte, uint32_t bit) {
    return byte % 2 == 0 ? bit + 8 : bit;
}

// The outcome of a dialog check: the canonical text to write back into the field, or the German message
// (the field then keeps its text as typed).
struct OperandCheck {
    std::string text;
    std::optional<std::string> message;
};

// Backup and restore bit fields. The text is upper-cased; empty stays empty.
OperandCheck CheckBitOperandText(std::string_view typed);
// Name operand field: a leading "P#" is dropped; DB10.DBB4, DB10.DBW4 and DB10.DBX4.0 all become "DB10.DBB4".
OperandCheck CheckNameOperandText(std::string_view typed);

inline constexpr const char* kInvalidOperand = "Der Operand ist ung\xC3\xBCltig!";
inline constexpr const char* kInvalidOperandArea = "Der Datenbereich des Operands ist ung\xC3\xBCltig!";
inline constexpr const char* kInvalidOperandAddress = "Die Adresse des Operands ist ung\xC3\xBCltig!";

}  // namespace vaultra::app
