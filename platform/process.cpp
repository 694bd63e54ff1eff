#include "platform/process.h"

#include <limits.h>
#include <unistd.h>

#include <system_error>

namespace vaultra::platform {

std::filesystem::path ProgramDirectory() {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n <= 0) {
        std::error_code ec;
        return std::filesystem::current_path(ec);
    }
    buffer[n] = '\0';
    return std::filesystem::path(buffer).parent_path();
}

}  // namespace vaultra::platform
