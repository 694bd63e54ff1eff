#include "drivers/link/environment.h"

#include <charconv>
#include <cstdlib>
#include <cstring>

namespace vaultra::link {

std::string SerialDevicePath(Port port) {
    const std::string variable = "VAULTRA_COM" + std::to_string(port + 1);
    const char* path = std::getenv(variable.c_str());
    if (path != nullptr && *path != '\0') {
        return path;
    }
    return "/dev/ttyS" + std::to_string(port);
}

std::uint16_t TcpPortFromEnvironment(const char* variable, std::uint16_t defaultPort) {
    const char* text = std::getenv(variable);
    if (text == nullptr) {
        return defaultPort;
    }
    const char* end = text + std::strlen(text);
    unsigned value = 0;
    const auto [last, error] = std::from_chars(text, end, value);
    if (error != std::errc() || last != end || value == 0 || value > 65535) {
        return defaultPort;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace vaultra::link
