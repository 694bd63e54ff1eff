#include "app/operand_access.h"

#include <array>

#include "app/operand.h"

namespace vaultra::app {

namespace {

constexpr std::size_t kMaxStringLength = 254;

struct WordFunctions {
    S7Slot read;
    S7Slot write;
};

WordFunctions FunctionsOf(OperandArea area) {
    switch (area) {
        case OperandArea::Outputs:
            return {S7Slot::RdAW, S7Slot::WrAW};
        case OperandArea::Inputs:
            return {S7Slot::RdEW, S7Slot::WrEW};
        case OperandArea::Flags:
            return {S7Slot::RdMW, S7Slot::WrMW};
        case OperandArea::DataBlock:
            break;
    }
    return {S7Slot::RdDB, S7Slot::WrDB};
}

int ReadWord(const S7Table& s7, ConnectionRecord& record, const BitOperand& op, uint16_t& word) {
    const auto at = static_cast<int32_t>(OperandWord(op.byte));
    if (op.area == OperandArea::DataBlock) {
        return s7.Call<Tarn7RdDBFn>(S7Slot::RdDB, &record, static_cast<int32_t>(op.dataBlock), at, 1, &word);
    }
    return s7.Call<Tarn7RdMWFn>(FunctionsOf(op.area).read, &record, at, 1, &word);
}

int WriteWord(const S7Table& s7, ConnectionRecord& record, const BitOperand& op, uint16_t word) {
    const auto at = static_cast<int32_t>(OperandWord(op.byte));
    if (op.area == OperandArea::DataBlock) {
        return s7.Call<Tarn7WrDBFn>(S7Slot::WrDB, &record, static_cast<int32_t>(op.dataBlock), at, 1, &word);
    }
    return s7.Call<Tarn7WrMWFn>(FunctionsOf(op.area).write, &record, at, 1, &word);
}

// One data block word as the PLC holds it: the even byte first.
int ReadDataWord(const S7Table& s7, ConnectionRecord& record, uint32_t db, uint32_t word, uint8_t* out) {
    uint16_t value = 0;
    const int result = s7.Call<Tarn7RdDBFn>(S7Slot::RdDB, &record, static_cast<int32_t>(db),
                                            static_cast<int32_t>(word), 1, &value);
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
    return result;
}

// Parses a bit operand and reads the word that holds it; 0 without a driver call for a bad operand.
int ReadBitWord(const S7Table& s7, ConnectionRecord& record, const std::string& operand, BitOperand& op,
                uint16_t& word) {
    const auto parsed = ParseBitOperand(operand);
    if (!parsed || parsed->bit > 7) {
        return 0;
    }
    op = *parsed;
    return ReadWord(s7, record, op, word);
}

}  // namespace

int ReadOperandBit(const S7Table& s7, ConnectionRecord& record, const std::string& operand, int& value) {
    BitOperand op;
    uint16_t word = 0;
    const int result = ReadBitWord(s7, record, operand, op, word);
    if (result != 0) {
        value = (word >> OperandWordBit(op.byte, op.bit)) & 1;
    }
    return result;
}

int WriteOperandBit(const S7Table& s7, ConnectionRecord& record, const std::string& operand, int value) {
    BitOperand op;
    uint16_t word = 0;
    const int result = ReadBitWord(s7, record, operand, op, word);
    if (result == 0) {
        return result;
    }
    const auto mask = static_cast<uint16_t>(1u << OperandWordBit(op.byte, op.bit));
    word = value != 0 ? static_cast<uint16_t>(word | mask) : static_cast<uint16_t>(word & ~mask);
    return WriteWord(s7, record, op, word);
}

int ReadS7String(const S7Table& s7, ConnectionRecord& record, const std::string& operand, std::string& text) {
    text.clear();
    const auto op = ParseStringOperand(operand);
    if (!op) {
        return 0;
    }
    uint32_t b = op->byte;
    std::array<uint8_t, 4> header{};
    int result = 1;
    for (uint32_t i = 0; i < b % 2 + 1 && result != 0; ++i) {
        result = ReadDataWord(s7, record, op->dataBlock, b / 2 + i, header.data() + 2 * i);
    }
    if (result == 0) {
        return result;
    }
    std::size_t length = b % 2 == 0 ? header[1] : header[2];
    if (b % 2 != 0 && length != 0) {
        text.push_back(static_cast<char>(header[3]));
        ++b;
        --length;
    }
    // The PLC's current length is not trusted beyond the longest string there can be.
    length = std::min(length, kMaxStringLength - text.size());
    std::array<uint8_t, 2> pair{};
    for (std::size_t i = 0; i < (length + 1) / 2 && result != 0; ++i) {
        result = ReadDataWord(s7, record, op->dataBlock, b / 2 + 1 + static_cast<uint32_t>(i), pair.data());
        for (std::size_t k = 0; k < 2 && 2 * i + k < length; ++k) {
            text.push_back(static_cast<char>(pair[k]));
        }
    }
    return result;
}

}  // namespace vaultra::app
