// The `plcsim s7` command: its options and the run that serves one simulated S7 PLC.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace vaultra::sim {

struct S7Command {
    bool demo = false;
    std::optional<std::size_t> demoBlocks;
    std::optional<std::string> program;
    std::optional<std::uint16_t> isoPort;
    std::optional<std::uint16_t> lanRawPort;
    std::optional<std::uint16_t> lanFramedPort;
    std::optional<std::string> mpiPty;
    unsigned mpiAddress = 2;
    unsigned rack = 0;
    unsigned slot = 2;
    std::string password;
    std::string keyswitch = "run-p";
    std::optional<std::size_t> memory;
    unsigned maxPdu = 480;
    unsigned directoryPage = 52;
    std::optional<std::string> dumpDir;
    std::optional<unsigned> silentAfter;
    std::optional<unsigned> cutAfter;
    std::vector<std::string> errorAnswers;
    bool memoryFull = false;
    bool busy = false;
    bool adapterE0330 = false;
    bool verbose = false;
    std::vector<std::string> bitPresets;     // --set M10.0=1
    std::vector<std::string> stringPresets;  // --set-string DB5.DBB0=A12
    bool fragmented = false;
};

void AddS7Command(CLI::App& app, S7Command& command);
// Returns the exit status: 0 after a clean end, 1 when the PLC could not be set up or served.
int RunS7Command(const S7Command& command);

}  // namespace vaultra::sim
