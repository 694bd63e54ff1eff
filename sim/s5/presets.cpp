#include "sim/s5/presets.h"

#include <algorithm>

#include "sim/operand_text.h"

namespace vaultra::sim::s5 {
namespace {

constexpr std::size_t kStringMax = 254;
constexpr std::uint8_t kDbCode = 0x01;
constexpr std::size_t kCreatedDbBytes = 512;

// Where one operand byte lives: the memory units to read and the byte within them.
struct Place {
    std::uint32_t unit = 0;
    std::uint32_t units = 1;
    std::size_t index = 0;
};

std::optional<Place> AreaByte(const Plc& plc, OperandArea area, unsigned byte) {
    const CpuModel& cpu = plc.Cpu();
    std::uint32_t base = cpu.flags;
    std::uint32_t end = cpu.timers;
    if (area == OperandArea::Inputs) {
        base = cpu.inputs;
        end = cpu.outputs;
    } else if (area == OperandArea::Outputs) {
        base = cpu.outputs;
        end = cpu.flags;
    }
    if (byte >= end - base) {
        return std::nullopt;
    }
    return Place{base + byte, 1, cpu.wordAddressed ? 1u : 0u};
}

std::optional<Place> DataBlockByte(const Plc& plc, unsigned db, unsigned byte) {
    const Plc::Entry* entry = db <= 0xFF ? plc.Find(kDbCode, static_cast<std::uint8_t>(db)) : nullptr;
    if (entry == nullptr || byte / 2 + 5u >= entry->lengthWords) {
        return std::nullopt;
    }
    const std::uint32_t perWord = plc.Cpu().UnitsPerWord();
    return Place{entry->address + byte / 2 * perWord, perWord, byte % 2};
}

std::optional<Place> Locate(const Plc& plc, const BitOperandText& op) {
    return op.area == OperandArea::DataBlock ? DataBlockByte(plc, op.db, op.byte)
                                             : AreaByte(plc, op.area, op.byte);
}

void WriteByte(Plc& plc, const Place& place, std::uint8_t value) {
    Bytes units = plc.ReadUnits(place.unit, place.units);
    units[place.index] = value;
    plc.WriteUnits(place.unit, units);
}

// A data block of zero words with room for `bytes` data bytes.
BlockImage EmptyDataBlock(std::uint8_t number, std::size_t bytes) {
    BlockImage block;
    block.header = {0x70, 0x70, kDbCode, number, 0x40, 0x00, 0x00, 0x00};
    block.lengthWords = static_cast<std::uint16_t>(5 + (bytes + 1) / 2);
    block.body.assign((block.lengthWords - 5u) * 2u, 0);
    return block;
}

}  // namespace

std::optional<std::string> ApplyBitPreset(Plc& plc, const std::string& preset) {
    const auto split = SplitPreset(preset);
    const auto op = split ? ParseBitOperandText(split->operand) : std::nullopt;
    if (!op || (split->value != "0" && split->value != "1")) {
        return "--set " + preset + ": expected OPERAND=0|1, e.g. M10.0=1 or DB100.DBX2.1=1";
    }
    const auto place = Locate(plc, *op);
    if (!place) {
        return "--set " + preset + ": the address does not exist in this PLC";
    }
    std::uint8_t byte = plc.ReadUnits(place->unit, place->units)[place->index];
    const auto mask = static_cast<std::uint8_t>(1u << op->bit);
    byte = split->value == "1" ? static_cast<std::uint8_t>(byte | mask)
                               : static_cast<std::uint8_t>(byte & ~mask);
    WriteByte(plc, *place, byte);
    return std::nullopt;
}

std::optional<std::string> ApplyStringPreset(Plc& plc, const std::string& preset) {
    const auto split = SplitPreset(preset);
    const auto op = split ? ParseStringOperandText(split->operand) : std::nullopt;
    if (!op || op->db == 0 || op->db > 0xFF) {
        return "--set-string " + preset + ": expected DBn.DBBb=TEXT with n 1..255";
    }
    const std::string& text = split->value;
    if (text.size() > kStringMax) {
        return "--set-string " + preset + ": at most 254 characters";
    }
    Bytes value{static_cast<std::uint8_t>(kStringMax), static_cast<std::uint8_t>(text.size())};
    value.insert(value.end(), text.begin(), text.end());
    const auto number = static_cast<std::uint8_t>(op->db);
    if (plc.Find(kDbCode, number) == nullptr &&
        !plc.Load(
            EmptyDataBlock(number, std::max<std::size_t>(kCreatedDbBytes, op->byte + 2u + kStringMax)))) {
        return "--set-string " + preset + ": no room for data block " + std::to_string(op->db);
    }
    std::vector<Place> places;
    for (std::size_t i = 0; i < value.size(); ++i) {
        const auto place = DataBlockByte(plc, op->db, static_cast<unsigned>(op->byte + i));
        if (!place) {
            return "--set-string " + preset + ": the string does not fit data block " +
                   std::to_string(op->db);
        }
        places.push_back(*place);
    }
    for (std::size_t i = 0; i < value.size(); ++i) {
        WriteByte(plc, places[i], value[i]);
    }
    return std::nullopt;
}

}  // namespace vaultra::sim::s5
