// What the engine benchmarks share: plcsim holding a 600-block program on ISO-on-TCP loopback, a scratch
// folder for the backups, the entry that names the simulated PLC, the drivers bound from the build, and
// the peak memory of the process.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "app/driver_binding.h"
#include "app/station.h"
#include "sim/testing/plcsim_process.h"

namespace vaultra::app::bench {

// Peak resident set of this process in KiB ("VmHWM" of /proc/self/status).
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

// plcsim with a 600-block program on an ephemeral ISO-on-TCP port, and a scratch folder named after the
// port that is removed with the object.
class SimulatedPlc {
public:
    SimulatedPlc(const std::string& folderPrefix, std::string* error) {
        sim_ = sim::testing::PlcsimProcess::Start({"s7", "--demo-blocks", "600", "--iso-port", "0"}, error);
        if (sim_ == nullptr) {
            return;
        }
        setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*sim_->IsoPort()).c_str(), 1);
        root_ = std::filesystem::temp_directory_path() / (folderPrefix + std::to_string(*sim_->IsoPort()));
    }
    ~SimulatedPlc() {
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }
    SimulatedPlc(const SimulatedPlc&) = delete;
    SimulatedPlc& operator=(const SimulatedPlc&) = delete;

    bool Started() const { return sim_ != nullptr; }

    // A station whose backups of this run go to a folder of their own below the scratch folder.
    void Prepare(Station& station, int run) const {
        station.settings.backupDirectory = (root_ / std::to_string(run)).string() + "/";
        station.settings.skipSystemBlocks = 0;
        std::filesystem::create_directories(station.settings.backupDirectory);
    }

private:
    std::unique_ptr<sim::testing::PlcsimProcess> sim_;
    std::filesystem::path root_;
};

// The drivers of this build (found next to plcsim), without network cards.
inline std::unique_ptr<DriverBinding> BindDrivers(Station& station, FrontEnd& ui) {
    return std::make_unique<DriverBinding>(
        station, ui,
        std::vector<std::filesystem::path>{sim::testing::PlcsimProcess::Executable().parent_path()},
        CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
}

// The entry of the simulated PLC: ISO-on-TCP to 127.0.0.1, rack/slot 2, never scheduled.
inline CElement BenchEntry() {
    CElement e;
    e.name = "BENCH";
    e.flags = flag::kS7Rfc1006 | static_cast<uint16_t>(IntervalKind::Never);
    e.address = {127, 0, 0, 1, 2, 0};
    e.fileName = "BENCH.S7P";
    return e;
}

}  // namespace vaultra::app::bench
