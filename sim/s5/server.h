// Serves the simulated S5 PLC on its transports until SIGINT or SIGTERM: the programming port on a
// pseudo-terminal and behind the LAN adapter (raw and length-prefixed), one thread per connection.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "sim/s5/plc.h"

namespace vaultra::sim::s5 {

struct ServeOptions {
    std::optional<std::filesystem::path> pty;
    unsigned ptyBaud = 0;  // 0: as fast as the pseudo-terminal goes
    std::optional<std::uint16_t> lanRawPort;
    std::optional<std::uint16_t> lanFramedPort;
    std::optional<std::filesystem::path> dumpDir;
    // Called on SIGUSR1, with the PLC locked, before the dump (operand presets are set again there).
    std::function<void()> onUser1;
};

// Prints one line per transport and "plcsim s5: ready", serves, writes the dump directory on SIGUSR1
// and at the end. Returns the exit status.
int Serve(Plc& plc, const ServeOptions& options);

}  // namespace vaultra::sim::s5
