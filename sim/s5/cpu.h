// The PLC descriptions plcsim s5 can play: how the memory is addressed and where its areas lie. The
// system-parameter words are what the PLC reports to a connection test.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace vaultra::sim::s5 {

// Block types in position order and their codes on the line.
inline constexpr std::array<std::uint8_t, 7> kTypeCodes = {0x01, 0x02, 0x04, 0x08, 0x10, 0x05, 0x0C};
inline constexpr std::array<const char*, 7> kTypeNames = {"DB", "SB", "PB", "FB", "OB", "FX", "DX"};
// Position of a type code, or nullopt.
std::optional<int> TypePosition(std::uint8_t code);

struct CpuModel {
    std::string name;
    std::string summary;
    int cpuClass = 0;            // 0 byte-addressed, 2 word-addressed, 3 word/32-bit, 4 byte/32-bit
    bool wordAddressed = false;  // one address per 16-bit word, else per byte
    bool longAddresses = false;  // addresses of 32 bits, block and area bases in units of 16
    std::uint32_t memoryUnits = 0;
    std::uint32_t blockStart = 0;  // first and end (exclusive) address of the block memory
    std::uint32_t blockEnd = 0;
    // Area addresses, in memory units.
    std::uint32_t peripheralInputs = 0, peripheralOutputs = 0, inputs = 0, outputs = 0, flags = 0, timers = 0,
                  counters = 0, systemData = 0;
    std::uint16_t identification = 0;
    std::uint16_t directoryEntries = 256;  // block numbers per type

    // The 22 system-parameter words.
    std::vector<std::uint16_t> SystemParameters() const;
    // Units one 16-bit word takes (1 word-addressed, 2 byte-addressed).
    std::uint32_t UnitsPerWord() const { return wordAddressed ? 1 : 2; }
    // Block addresses on the line (divided by 16 for 32-bit PLCs).
    std::uint16_t LineAddress(std::uint32_t unitAddress) const;
    std::uint32_t Alignment() const { return longAddresses ? 16 : 1; }
};

// The models by name; nullopt for an unknown name.
std::optional<CpuModel> FindCpu(const std::string& name);
std::vector<std::string> CpuNames();

}  // namespace vaultra::sim::s5
