// The system debug output: one diagnostic line for whoever watches the station (standard error).
#pragma once

#include <string>

namespace vaultra::platform {

// Writes the line (a missing final newline is added) to standard error.
void DebugOutput(const std::string& line);

}  // namespace vaultra::platform
