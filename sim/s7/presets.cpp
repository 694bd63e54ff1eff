#include "sim/s7/presets.h"

#include <algorithm>
#include <cstdio>

#include "s7project/block_image.h"

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

std::optional<Area> AreaOfLetter(char letter) {
    switch (letter) {
        case 'M':
        case 'F':
            return Area::Flags;
        case 'E':
        case 'I':
            return Area::Inputs;
        case 'A':
        case 'Q':
            return Area::Outputs;
        default:
            return std::nullopt;
    }
}

std::optional<BitAddress> ParseBit(const std::string& text) {
    BitAddress a;
    unsigned db = 0;
    int used = 0;
    if (std::sscanf(text.c_str(), "DB%u.DBX%u.%u%n", &db, &a.byte, &a.bit, &used) == 3 &&
        static_cast<std::size_t>(used) == text.size() && db <= 0xFFFF) {
        a.area = Area::DataBlock;
        a.db = static_cast<std::uint16_t>(db);
    } else {
        char letter = 0;
        if (std::sscanf(text.c_str(), "%c%u.%u%n", &letter, &a.byte, &a.bit, &used) != 3 ||
            static_cast<std::size_t>(used) != text.size() || !AreaOfLetter(letter)) {
            return std::nullopt;
        }
        a.area = *AreaOfLetter(letter);
    }
    return a.bit <= 7 ? std::optional(a) : std::nullopt;
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
    const auto equals = preset.find('=');
    const std::string value = equals == std::string::npos ? "" : preset.substr(equals + 1);
    const auto address = ParseBit(preset.substr(0, equals));
    if (!address || (value != "0" && value != "1")) {
        return "--set " + preset + ": expected OPERAND=0|1, e.g. M10.0=1 or DB5.DBX2.1=1";
    }
    const auto current = plc.Read(address->area, address->db, address->byte, 1);
    if (!current) {
        return "--set " + preset + ": the address does not exist in this PLC";
    }
    std::uint8_t byte = (*current)[0];
    const auto mask = static_cast<std::uint8_t>(1u << address->bit);
    byte = value == "1" ? static_cast<std::uint8_t>(byte | mask) : static_cast<std::uint8_t>(byte & ~mask);
    plc.Write(address->area, address->db, address->byte, Bytes{byte});
    return std::nullopt;
}

std::optional<std::string> ApplyStringPreset(Plc& plc, const std::string& preset) {
    const auto equals = preset.find('=');
    unsigned db = 0, byte = 0;
    int used = 0;
    const std::string operand = preset.substr(0, equals);
    if (equals == std::string::npos || std::sscanf(operand.c_str(), "DB%u.DBB%u%n", &db, &byte, &used) != 2 ||
        static_cast<std::size_t>(used) != operand.size() || db > 0xFFFF) {
        return "--set-string " + preset + ": expected DBn.DBBb=TEXT";
    }
    const std::string text = preset.substr(equals + 1);
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
