// The simulated S7 PLC shared by every connection: program, memory areas, operating mode, key switch,
// protection and the faults it was asked to show.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "sim/bytes.h"
#include "sim/log.h"
#include "sim/s7/program.h"

namespace vaultra::sim::s7 {

enum class Keyswitch { Run, RunP, Stop };
enum class OperatingMode { Run, Stop };

// Operand areas as the variable-table service codes them in its high nibble.
enum class Area : std::uint8_t {
    Flags = 0x0,
    Inputs = 0x1,
    Outputs = 0x2,
    PeripheralInputs = 0x3,
    PeripheralOutputs = 0x4,
    Timers = 0x5,
    Counters = 0x6,
    DataBlock = 0x7,
};

struct ErrorInjection {
    std::string service;  // service name as in ServiceName()
    std::uint16_t code = 0;
};

struct FaultOptions {
    std::optional<unsigned> silentAfter;  // requests per connection answered before silence
    std::optional<unsigned> cutAfter;     // requests per connection answered before the connection is cut
    std::vector<ErrorInjection> errors;
    bool memoryFull = false;    // every download is refused for lack of memory
    bool busy = false;          // every request but the setup of communication is refused as busy
    bool fragmented = false;    // downloads are refused for lack of memory until the memory is compressed
    bool adapterE0330 = false;  // the MPI adapter answers the bus parameters with E=0330
};

struct PlcOptions {
    Keyswitch keyswitch = Keyswitch::RunP;
    std::string password;                  // empty: no protection
    std::size_t memoryBytes = 256 * 1024;  // load memory for the program
    std::uint16_t maxPdu = 480;
    std::uint8_t rackSlot = 2;    // rack × 32 + slot the station accepts
    std::uint8_t mpiAddress = 2;  // MPI address of the station
    unsigned directoryPage = 52;  // entries per directory answer
    FaultOptions faults;
};

inline constexpr std::size_t kFlagBytes = 8192;
inline constexpr std::size_t kProcessImageBytes = 2048;
inline constexpr std::size_t kPeripheralBytes = 8192;
inline constexpr std::size_t kTimerCount = 512;
inline constexpr std::size_t kCounterCount = 512;

class Plc {
public:
    Plc(PlcOptions options, Program program, Log log);

    const PlcOptions& Options() const { return options_; }
    const Log& Logger() const { return log_; }
    Program& Blocks() { return program_; }
    const Program& Blocks() const { return program_; }

    OperatingMode Mode() const { return mode_; }
    void SetMode(OperatingMode mode) { mode_ = mode; }
    Keyswitch Switch() const { return options_.keyswitch; }

    // Free load memory for a block of the given size replacing `replaced` bytes.
    bool HasRoomFor(std::size_t bytes, std::size_t replaced) const;
    // Free memory in pieces too small for a block until it is compressed (fault option).
    bool Fragmented() const { return fragmented_; }
    void CompressMemory() { fragmented_ = false; }
    // The 8 bytes a client sends to log on with the configured password.
    Bytes EncodedPassword() const;
    bool IsProtected() const { return !options_.password.empty(); }

    // Reads length bytes (for timers and counters: elements of 2 bytes) from an area; nullopt when the
    // range or the data block does not exist.
    std::optional<Bytes> Read(Area area, std::uint16_t db, std::uint32_t start, std::uint32_t length) const;
    bool Write(Area area, std::uint16_t db, std::uint32_t start, ByteView values);

private:
    const Bytes* AreaBytes(Area area) const;

    PlcOptions options_;
    Program program_;
    Log log_;
    OperatingMode mode_;
    bool fragmented_ = false;
    Bytes flags_, inputs_, outputs_, peripheralInputs_, peripheralOutputs_, timers_, counters_;
};

// The password encoding the station applies before logging on (out[0..7] from the 8 password bytes).
Bytes EncodePassword(const std::string& password);

}  // namespace vaultra::sim::s7
