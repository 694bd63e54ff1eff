// The `plcsim s5` command: its options and the run that serves one simulated S5 PLC.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace vaultra::sim {

struct S5Command {
    std::string cpu = "byte16";
    bool demo = false;
    std::optional<std::size_t> demoBlocks;
    std::optional<std::string> program;
    std::optional<std::string> as511Pty;
    unsigned baud = 0;
    std::optional<std::uint16_t> lanRawPort;
    std::optional<std::uint16_t> lanFramedPort;
    unsigned pgBusStation = 0;
    std::optional<std::string> dumpDir;
    std::optional<unsigned> silentAfter;
    std::optional<unsigned> cutAfter;
    std::vector<std::string> refused;
    std::vector<std::string> loadAnswers;    // --fault-load-answer PB1=05
    std::vector<std::string> bitPresets;     // --set M10.0=1
    std::vector<std::string> stringPresets;  // --set-string DB100.DBB4=A12
    bool memoryFull = false;
    bool busy = false;
    bool stopped = false;
    bool verbose = false;
};

// Returns the subcommand so that main can tell which one ran.
CLI::App* AddS5Command(CLI::App& app, S5Command& command);
int RunS5Command(const S5Command& command);

}  // namespace vaultra::sim
