#include "platform/debug_output.h"

#include <cstdio>

namespace vaultra::platform {

void DebugOutput(const std::string& line) {
    std::fputs(line.c_str(), stderr);
    if (line.empty() || line.back() != '\n') {
        std::fputc('\n', stderr);
    }
    std::fflush(stderr);
}

}  // namespace vaultra::platform
