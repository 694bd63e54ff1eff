// The simulated S5 PLC: one memory of the model's address units holding the blocks (header words first,
// the body at the block's address), the operand areas and the system data; the run state is the stop bit
// of system-data word 6. Callers serialise access through Mutex().
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "sim/bytes.h"
#include "sim/log.h"
#include "sim/s5/cpu.h"

namespace vaultra::sim::s5 {

struct Faults {
    std::optional<unsigned> silentAfter;  // no answer after the first N functions of a connection
    std::optional<unsigned> cutAfter;     // function N+1 of a connection breaks off
    std::vector<std::uint8_t> refused;    // function codes refused
    bool busy = false;                    // every function refused
    bool memoryFull = false;              // no room for a new block
    // Blocks (type code, number) the PLC will not load, with the byte it answers instead of "room".
    std::map<std::pair<std::uint8_t, std::uint8_t>, std::uint8_t> loadAnswers;
};

struct PlcOptions {
    CpuModel cpu;
    Faults faults;
    unsigned pgBusStation = 0;  // 0: direct line
};

// One block as loaded: the first 8 header bytes, the length in words (header included) and the body.
struct BlockImage {
    std::array<std::uint8_t, 8> header{};
    std::uint16_t lengthWords = 5;
    Bytes body;
    std::uint8_t Code() const { return header[2]; }
    std::uint8_t Number() const { return header[3]; }
};

class Plc {
public:
    Plc(PlcOptions options, const Log& log);
    std::mutex& Mutex() { return mutex_; }
    const CpuModel& Cpu() const { return options_.cpu; }
    const Faults& FaultOptions() const { return options_.faults; }
    unsigned PgBusStation() const { return options_.pgBusStation; }
    const Log& Logger() const { return log_; }

    // --- memory, in address units (bytes, or big-endian words on word-addressed models) ---
    bool InMemory(std::uint32_t start, std::uint32_t count) const;
    Bytes ReadUnits(std::uint32_t start, std::uint32_t count) const;
    void WriteUnits(std::uint32_t start, ByteView bytes);

    // --- blocks ---
    struct Entry {
        std::uint32_t address;  // of the body, in units
        std::uint16_t lengthWords;
    };
    const Entry* Find(std::uint8_t code, std::uint8_t number) const;
    std::array<std::uint8_t, 8> Header(const Entry& entry) const;
    Bytes Body(const Entry& entry) const;
    // Line addresses of block numbers 0 .. directoryEntries - 1 of one type (0 = absent).
    std::vector<std::uint16_t> Directory(std::uint8_t code) const;
    // False when the memory has no room.
    bool Load(const BlockImage& block);
    bool Delete(std::uint8_t code, std::uint8_t number);
    void Compress();
    void ClearAll();
    std::size_t BlockCount() const { return blocks_.size(); }
    std::uint32_t FreeUnits() const { return Cpu().blockEnd - next_; }

    bool Running() const;
    void SetRunning(bool run);

    // Writes every block as <TYPE><number>.blk: 8 header bytes, the length word, the body.
    bool Dump(const std::filesystem::path& dir, std::string* error) const;

private:
    std::uint32_t HeaderUnits() const { return 5 * Cpu().UnitsPerWord(); }
    std::uint32_t BodyUnits(std::uint16_t lengthWords) const {
        return (lengthWords - 5u) * Cpu().UnitsPerWord();
    }
    std::uint32_t UnitBytes() const { return Cpu().wordAddressed ? 2 : 1; }

    PlcOptions options_;
    const Log& log_;
    std::mutex mutex_;
    std::vector<std::uint8_t> memory_;  // UnitBytes() per unit
    std::map<std::pair<std::uint8_t, std::uint8_t>, Entry> blocks_;
    std::uint32_t next_;
};

}  // namespace vaultra::sim::s5
