#include "sim/s5/cpu.h"

namespace vaultra::sim::s5 {
namespace {

// Areas of the 16-bit PLCs near the top of their memory; the word-addressed ones keep one area byte per
// memory word.
CpuModel Small(std::string name, std::string summary, bool wordAddressed) {
    CpuModel m;
    m.name = std::move(name);
    m.summary = std::move(summary);
    m.wordAddressed = wordAddressed;
    m.memoryUnits = 0x10000;
    m.blockStart = 0x0400;
    m.blockEnd = wordAddressed ? 0xE000 : 0xF000;
    const std::uint32_t top = wordAddressed ? 0xE000 : 0xF000;
    m.peripheralInputs = top;
    m.peripheralOutputs = top + 0x100;
    m.inputs = top + 0x200;
    m.outputs = top + 0x280;
    m.flags = top + 0x300;
    m.timers = top + 0x400;
    m.counters = top + 0x500;
    m.systemData = wordAddressed ? 0xEA00 : 0xF600;
    return m;
}

CpuModel Large(std::string name, std::string summary, bool wordAddressed) {
    CpuModel m = Small(std::move(name), std::move(summary), wordAddressed);
    m.longAddresses = true;
    m.memoryUnits = 0x40000;
    m.blockStart = 0x01000;
    m.blockEnd = 0x30000;
    const std::uint32_t base = 0x30000;
    m.peripheralInputs = base;
    m.peripheralOutputs = base + 0x100;
    m.inputs = base + 0x200;
    m.outputs = base + 0x280;
    m.flags = base + 0x300;
    m.timers = base + 0x400;
    m.counters = base + 0x500;
    m.systemData = base + 0xA00;
    return m;
}

std::vector<CpuModel> Models() {
    CpuModel byte16 = Small("byte16", "byte-addressed, 16-bit addresses", false);
    byte16.cpuClass = 0;
    byte16.identification = 0x0001;
    CpuModel word16 = Small("word16", "word-addressed, 16-bit addresses", true);
    word16.cpuClass = 2;
    word16.identification = 0x0002;
    CpuModel word32 = Large("word32", "word-addressed, 32-bit addresses", true);
    word32.cpuClass = 3;
    word32.identification = 0x0006;
    CpuModel byte32 = Large("byte32", "byte-addressed, 32-bit addresses", false);
    byte32.cpuClass = 4;
    byte32.identification = 0x0005;
    // A class 3 PLC that reports its own identification; drivers write its operand words byte by byte.
    CpuModel d10a = Large("d10a", "word-addressed, 32-bit addresses, identification 0xD10A", true);
    d10a.cpuClass = 3;
    d10a.identification = 0xD10A;
    return {byte16, word16, word32, byte32, d10a};
}

}  // namespace

std::optional<int> TypePosition(std::uint8_t code) {
    for (std::size_t i = 0; i < kTypeCodes.size(); ++i) {
        if (kTypeCodes[i] == code) {
            return static_cast<int>(i);
        }
    }
    return std::nullopt;
}

std::uint16_t CpuModel::LineAddress(std::uint32_t unitAddress) const {
    return static_cast<std::uint16_t>(longAddresses ? unitAddress / 16 : unitAddress);
}

std::vector<std::uint16_t> CpuModel::SystemParameters() const {
    std::vector<std::uint16_t> p(22, 0);
    const std::uint32_t areas[] = {peripheralInputs, peripheralOutputs, inputs, outputs, flags,
                                   timers,           counters};
    for (std::size_t i = 0; i < 7; ++i) {
        p[i] = LineAddress(areas[i]);
    }
    if (cpuClass == 0) {
        p[7] = LineAddress(systemData);
    } else if (systemData != 0xEA00) {
        p[10] = LineAddress(systemData);  // the default place needs no word
    }
    for (std::size_t t = 0; t < 7; ++t) {
        p[11 + t] = static_cast<std::uint16_t>(directoryEntries * (wordAddressed ? 1 : 2));
    }
    p[19] = identification;
    p[20] = wordAddressed ? 5 : 10;
    return p;
}

std::optional<CpuModel> FindCpu(const std::string& name) {
    for (const CpuModel& m : Models()) {
        if (m.name == name) {
            return m;
        }
    }
    return std::nullopt;
}

std::vector<std::string> CpuNames() {
    std::vector<std::string> names;
    for (const CpuModel& m : Models()) {
        names.push_back(m.name);
    }
    return names;
}

}  // namespace vaultra::sim::s5
