#include "app/operand_access.h"

#include <array>

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

struct S5WordFunctions {
    S5Slot read;
    S5Slot write;
};

S5WordFunctions S5FunctionsOf(OperandArea area) {
    switch (area) {
        case OperandArea::Outputs:
            return {S5Slot::RdAW, S5Slot::WrAW};
        case OperandArea::Inputs:
            return {S5Slot::RdEW, S5Slot::WrEW};
        case OperandArea::Flags:
            return {S5Slot::RdMW, S5Slot::WrMW};
        case OperandArea::DataBlock:
            break;
    }
    return {S5Slot::RdDB, S5Slot::WrDB};
}

// One data block word as the PLC holds it: the even byte first.
int ReadDataWord(const OperandWords& words, uint32_t db, uint32_t word, uint8_t* out) {
    uint16_t value = 0;
    const int result = words.read(OperandArea::DataBlock, db, word, value);
    out[0] = static_cast<uint8_t>(value >> 8);
    out[1] = static_cast<uint8_t>(value);
    return result;
}

// Parses a bit operand and reads the word that holds it; 0 without a driver call for a bad operand.
int ReadBitWord(const OperandWords& words, const std::string& operand, BitOperand& op, uint16_t& word) {
    const auto parsed = ParseBitOperand(operand);
    if (!parsed || parsed->bit > 7) {
        return 0;
    }
    op = *parsed;
    return words.read(op.area, op.dataBlock, OperandWord(op.byte), word);
}

}  // namespace

OperandWords S7OperandWords(const S7Table& s7, ConnectionRecord& record) {
    OperandWords words;
    words.read = [&s7, &record](OperandArea area, uint32_t db, uint32_t word, uint16_t& value) {
        const auto at = static_cast<int32_t>(word);
        if (area == OperandArea::DataBlock) {
            return s7.Call<Tarn7RdDBFn>(S7Slot::RdDB, &record, static_cast<int32_t>(db), at, 1, &value);
        }
        return s7.Call<Tarn7RdMWFn>(FunctionsOf(area).read, &record, at, 1, &value);
    };
    words.write = [&s7, &record](OperandArea area, uint32_t db, uint32_t word, uint16_t value) {
        const auto at = static_cast<int32_t>(word);
        if (area == OperandArea::DataBlock) {
            return s7.Call<Tarn7WrDBFn>(S7Slot::WrDB, &record, static_cast<int32_t>(db), at, 1, &value);
        }
        return s7.Call<Tarn7WrMWFn>(FunctionsOf(area).write, &record, at, 1, &value);
    };
    return words;
}

OperandWords S5OperandWords(const S5Table& s5, ConnectionRecord& record) {
    OperandWords words;
    words.read = [&s5, &record](OperandArea area, uint32_t db, uint32_t word, uint16_t& value) {
        const auto at = static_cast<int32_t>(word);
        if (area == OperandArea::DataBlock) {
            return s5.Call<Tarn5S5RdDBFn>(S5Slot::RdDB, &record, static_cast<int32_t>(db), at, 1, &value);
        }
        return s5.Call<Tarn5S5RdMWFn>(S5FunctionsOf(area).read, &record, at, 1, &value);
    };
    words.write = [&s5, &record](OperandArea area, uint32_t db, uint32_t word, uint16_t value) {
        const auto at = static_cast<int32_t>(word);
        if (area == OperandArea::DataBlock) {
            return s5.Call<Tarn5S5WrDBFn>(S5Slot::WrDB, &record, static_cast<int32_t>(db), at, 1, &value);
        }
        return s5.Call<Tarn5S5WrMWFn>(S5FunctionsOf(area).write, &record, at, 1, &value);
    };
    return words;
}

int ReadOperandBit(const OperandWords& words, const std::string& operand, int& value) {
    BitOperand op;
    uint16_t word = 0;
    const int result = ReadBitWord(words, operand, op, word);
    if (result != 0) {
        value = (word >> OperandWordBit(op.byte, op.bit)) & 1;
    }
    return result;
}

int WriteOperandBit(const OperandWords& words, const std::string& operand, int value) {
    BitOperand op;
    uint16_t word = 0;
    const int result = ReadBitWord(words, operand, op, word);
    if (result == 0) {
        return result;
    }
    const auto mask = static_cast<uint16_t>(1u << OperandWordBit(op.byte, op.bit));
    word = value != 0 ? static_cast<uint16_t>(word | mask) : static_cast<uint16_t>(word & ~mask);
    return words.write(op.area, op.dataBlock, OperandWord(op.byte), word);
}

int ReadS7String(const OperandWords& words, const std::string& operand, std::string& text) {
    text.clear();
    const auto op = ParseStringOperand(operand);
    if (!op) {
        return 0;
    }
    uint32_t b = op->byte;
    std::array<uint8_t, 4> header{};
    int result = 1;
    for (uint32_t i = 0; i < b % 2 + 1 && result != 0; ++i) {
        result = ReadDataWord(words, op->dataBlock, b / 2 + i, header.data() + 2 * i);
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
        result = ReadDataWord(words, op->dataBlock, b / 2 + 1 + static_cast<uint32_t>(i), pair.data());
        for (std::size_t k = 0; k < 2 && 2 * i + k < length; ++k) {
            text.push_back(static_cast<char>(pair[k]));
        }
    }
    return result;
}

int ReadOperandBit(const S7Table& s7, ConnectionRecord& record, const std::string& operand, int& value) {
    return ReadOperandBit(S7OperandWords(s7, record), operand, value);
}

int WriteOperandBit(const S7Table& s7, ConnectionRecord& record, const std::string& operand, int value) {
    return WriteOperandBit(S7OperandWords(s7, record), operand, value);
}

int ReadS7String(const S7Table& s7, ConnectionRecord& record, const std::string& operand, std::string& text) {
    return ReadS7String(S7OperandWords(s7, record), operand, text);
}

void ClearTriggerRequests(const OperandWords& words, const CElement& e) {
    if (EffectiveIntervalKind(e) != IntervalKind::PlcTrigger) {
        return;
    }
    for (const std::string* bit : {&e.backupBit, &e.restoreBit}) {
        if (!bit->empty()) {
            WriteOperandBit(words, *bit, 0);
        }
    }
}

}  // namespace vaultra::app
