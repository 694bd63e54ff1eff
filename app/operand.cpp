#include "app/operand.h"

#include <cctype>
#include <cstdio>

#include "app/scan.h"

namespace vaultra::app {

namespace {

constexpr uint32_t kMaxByte = 65535;
constexpr uint32_t kMaxDataBlock = 65535;
constexpr uint32_t kMaxStringByte = 65534;
constexpr uint32_t kMaxBit = 7;

struct ParsedBit {
    bool dataBlockForm = false;
    char letter = 0;
    uint32_t dataBlock = 0;
    uint32_t byte = 0;
    uint32_t bit = 0;
};

bool StartsWithDB(std::string_view text) {
    return text.substr(0, 2) == "DB";
}

// The fields of either bit form, without looking at the letter or the ranges.
std::optional<ParsedBit> ScanBit(std::string_view text) {
    ParsedBit p;
    TextScanner scan(text);
    std::optional<uint32_t> db, byte, bit;
    if (StartsWithDB(text)) {
        p.dataBlockForm = true;
        scan.Literal("DB");
        if (!(db = scan.Unsigned()) || !scan.Literal(".DBX")) {
            return std::nullopt;
        }
        p.dataBlock = *db;
    } else {
        const auto letter = scan.Char();
        if (!letter) {
            return std::nullopt;
        }
        p.letter = *letter;
    }
    if (!(byte = scan.Unsigned()) || !scan.Literal('.') || !(bit = scan.Unsigned())) {
        return std::nullopt;
    }
    p.byte = *byte;
    p.bit = *bit;
    return p;
}

std::optional<OperandArea> AreaOfLetter(char letter) {
    switch (letter) {
        case 'A':
        case 'Q':
            return OperandArea::Outputs;
        case 'E':
        case 'I':
            return OperandArea::Inputs;
        case 'M':
        case 'F':
            return OperandArea::Flags;
        default:
            return std::nullopt;
    }
}

std::string Upper(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return out;
}

OperandCheck Refused(std::string_view typed, const char* message) {
    return {std::string(typed), message};
}

}  // namespace

std::optional<BitOperand> ParseBitOperand(std::string_view text) {
    const auto p = ScanBit(text);
    if (!p) {
        return std::nullopt;
    }
    BitOperand op;
    op.byte = p->byte;
    op.bit = p->bit;
    if (p->dataBlockForm) {
        op.area = OperandArea::DataBlock;
        op.dataBlock = p->dataBlock;
        return op;
    }
    const auto area = AreaOfLetter(p->letter);
    if (!area) {
        return std::nullopt;
    }
    op.area = *area;
    return op;
}

std::optional<StringOperand> ParseStringOperand(std::string_view text) {
    TextScanner scan(text);
    StringOperand op;
    std::optional<uint32_t> db, byte;
    if (!scan.Literal("DB") || !(db = scan.Unsigned()) || !scan.Literal(".DBB") ||
        !(byte = scan.Unsigned())) {
        return std::nullopt;
    }
    op.dataBlock = *db;
    op.byte = *byte;
    return op;
}

OperandCheck CheckBitOperandText(std::string_view typed) {
    const std::string text = Upper(typed);
    if (text.empty()) {
        return {};
    }
    const auto p = ScanBit(text);
    if (!p) {
        return Refused(typed, kInvalidOperand);
    }
    if (!p->dataBlockForm && !AreaOfLetter(p->letter)) {
        return Refused(typed, kInvalidOperandArea);
    }
    if (p->dataBlock > kMaxDataBlock || p->byte > kMaxByte || p->bit > kMaxBit) {
        return Refused(typed, kInvalidOperandAddress);
    }
    if (p->dataBlockForm) {
        return {Sprintf("DB%u.DBX%u.%u", p->dataBlock, p->byte, p->bit), std::nullopt};
    }
    return {Sprintf("%c%u.%u", p->letter, p->byte, p->bit), std::nullopt};
}

OperandCheck CheckNameOperandText(std::string_view typed) {
    std::string text = Upper(typed);
    if (text.empty()) {
        return {};
    }
    if (text.rfind("P#", 0) == 0) {
        text.erase(0, 2);
    }
    TextScanner scan(text);
    std::optional<uint32_t> db, byte;
    if (!scan.Literal("DB") || !(db = scan.Unsigned()) || !scan.Literal(".DB") || !scan.Char() ||
        !(byte = scan.Unsigned())) {
        return Refused(typed, kInvalidOperand);
    }
    if (*db > kMaxDataBlock || *byte > kMaxStringByte) {
        return Refused(typed, kInvalidOperandAddress);
    }
    return {Sprintf("DB%u.DBB%u", *db, *byte), std::nullopt};
}

}  // namespace vaultra::app
