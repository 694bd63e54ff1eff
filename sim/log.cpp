#include "sim/log.h"

#include <chrono>
#include <cstdio>

namespace vaultra::sim {

namespace {

void Write(const std::string& line) {
    const auto now = std::chrono::duration_cast<std::chrono::milliseconds>(
                         std::chrono::system_clock::now().time_since_epoch())
                         .count();
    std::fprintf(stderr, "plcsim %lld.%03lld %s\n", static_cast<long long>(now / 1000 % 100000),
                 static_cast<long long>(now % 1000), line.c_str());
}

}  // namespace

void Log::Trace(const std::string& line) const {
    if (verbose_) {
        Write(line);
    }
}

void Log::Note(const std::string& line) const {
    Write(line);
}

}  // namespace vaultra::sim
