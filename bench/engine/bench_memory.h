// Peak resident memory of the benchmark process, for the engine benchmarks' counters.
#pragma once

#include <fstream>
#include <string>

namespace vaultra::app::bench {

// VmHWM of /proc/self/status in KiB; 0 when it cannot be read.
inline double PeakMemoryKiB() {
    std::ifstream status("/proc/self/status");
    std::string key;
    while (status >> key) {
        if (key == "VmHWM:") {
            double kib = 0;
            status >> kib;
            return kib;
        }
        status.ignore(4096, '\n');
    }
    return 0;
}

}  // namespace vaultra::app::bench
