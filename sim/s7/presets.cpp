#include "sim/s7/presets.h"

#include <algorithm>

#include "s7project/block_image.h"
#include "sim/operand_text.h"

namespace vaultra::sim::s7 {

namespace {

constexpr std::size_t kStringMax = 254;
constexpr std::size_t kCreatedDbBytes = 512;

struct BitAddress {
    Area area = Area::Flags;
    std::uint16_t db = 0;
    unsigned byte = 0;
    unsigned bit = 0;
};

std::optional<BitAddress> ParseBit(const std::string& text) {
    const auto parsed = ParseBitOperandText(text);
    if (!parsed) {
        return std::nullopt;
    }
    BitAddress a;
    a.byte = parsed->byte;
    a.bit = parsed->bit;
    a.db = static_cast<std::uint16_t>(parsed->db);
    switch (parsed->area) {
        case OperandArea::Flags:
            a.area = Area::Flags;
            break;
        case OperandArea::Inputs:
            a.area = Area::Inputs;
            break;
        case OperandArea::Outputs:
            a.area = Area::Outputs;
            break;
        case OperandArea::DataBlock:
            a.area = Area::DataBlock;
            break;
    }
    return a;
}

// A data block of `bytes` zero values (no interface description).
Bytes EmptyDataBlock(std::uint16_t number, std::size_t bytes) {
    s7project::BlockImageFields fields;
    fields.header.language = 0x05;
    fields.header.type = kDB;
    fields.header.number = number;
    fields.code.assign(bytes, 0);
    return s7project::BuildBlockImage(fields);
}

}  // namespace

std::optional<std::string> ApplyBitPreset(Plc& plc, const std::string& preset) {
    const auto split = SplitPreset(preset);
    const auto address = split ? ParseBit(split->operand) : std::nullopt;
    if (!address || (split->value != "0" && split->value != "1")) {
        return "--set " + preset + ": expected OPERAND=0|1, e.g. M10.0=1 or DB5.DBX2.1=1";
    }
    const auto current = plc.Read(address->area, address->db, address->byte, 1);
    if (!current) {
        return "--set " + preset + ": the address does not exist in this PLC";
    }
    std::uint8_t byte = (*current)[0];
    const auto mask = static_cast<std::uint8_t>(1u << address->bit);
    byte = split->value == "1" ? static_cast<std::uint8_t>(byte | mask)
                               : static_cast<std::uint8_t>(byte & ~mask);
    plc.Write(address->area, address->db, address->byte, Bytes{byte});
    return std::nullopt;
}

std::optional<std::string> ApplyStringPreset(Plc& plc, const std::string& preset) {
    const auto split = SplitPreset(preset);
    const auto operand = split ? ParseStringOperandText(split->operand) : std::nullopt;
    if (!operand) {
        return "--set-string " + preset + ": expected DBn.DBBb=TEXT";
    }
    const unsigned db = operand->db;
    const unsigned byte = operand->byte;
    const std::string& text = split->value;
    if (text.size() > kStringMax) {
        return "--set-string " + preset + ": at most 254 characters";
    }
    Bytes value{static_cast<std::uint8_t>(kStringMax), static_cast<std::uint8_t>(text.size())};
    value.insert(value.end(), text.begin(), text.end());
    if (plc.Blocks().Find({kDB, static_cast<std::uint16_t>(db)}) == nullptr) {
        plc.Blocks().Put({kDB, static_cast<std::uint16_t>(db)},
                         EmptyDataBlock(static_cast<std::uint16_t>(db),
                                        std::max<std::size_t>(kCreatedDbBytes, byte + 256u)));
    }
    if (!plc.Write(Area::DataBlock, static_cast<std::uint16_t>(db), byte, value)) {
        return "--set-string " + preset + ": the string does not fit data block " + std::to_string(db);
    }
    return std::nullopt;
}

}  // namespace vaultra::sim::s7
