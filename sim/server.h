// The simulator's event loop: listening sockets and the pseudo-terminal, one protocol handler per
// connection, signals for ending and for writing the program out.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "sim/s7/plc.h"
#include "sim/transport/handler.h"

namespace vaultra::sim {

struct TransportOptions {
    std::optional<std::uint16_t> isoPort;
    std::optional<std::uint16_t> lanRawPort;
    std::optional<std::uint16_t> lanFramedPort;
    std::optional<std::filesystem::path> mpiPty;
    std::optional<std::filesystem::path> dumpDir;
    // Called on SIGUSR1 before the dump (plcsim s7 sets its operand presets again there).
    std::function<void()> onUser1;
};

class Server {
public:
    Server(s7::Plc& plc, TransportOptions options);
    ~Server();
    Server(const Server&) = delete;
    Server& operator=(const Server&) = delete;

    // Opens every requested transport and fills lines with one start-up line per transport.
    bool Open(std::vector<std::string>& lines, std::string* error);
    // Serves until SIGINT or SIGTERM; on SIGUSR1 calls onUser1 and writes the dump directory, which it
    // also writes before returning.
    // Returns the process exit status.
    int Run();

private:
    struct Impl;
    std::unique_ptr<Impl> impl_;
};

}  // namespace vaultra::sim
