// Where the link finds its devices and TCP ports: the environment may redirect them, so that tests and
// demonstrations run against the simulator without root.
#pragma once

#include <cstdint>
#include <string>

#include "drivers/link/com.h"

namespace vaultra::link {

// Serial port n: $VAULTRA_COM<n+1> when set and not empty, else /dev/ttyS<n>.
std::string SerialDevicePath(Port port);

// The TCP port in the environment variable when it holds a number 1..65535, else the default.
std::uint16_t TcpPortFromEnvironment(const char* variable, std::uint16_t defaultPort);

}  // namespace vaultra::link
