// The running program's own place in the file system.
#pragma once

#include <filesystem>

namespace vaultra::platform {

// Directory that holds the running executable (libraries are looked up here first).
// Falls back to the current directory when the executable path cannot be determined.
std::filesystem::path ProgramDirectory();

}  // namespace vaultra::platform
