// SIGINT and SIGTERM as a stop request for the station: checked between the steps of a run and waited
// on between timer passes. A second signal ends the program at once.
#pragma once

#include <cstdint>
#include <memory>

namespace vaultra::platform {

class StationSignals {
public:
    // Installs the handlers; null when they are already installed in this process.
    static std::unique_ptr<StationSignals> Install();
    ~StationSignals();  // restores the previous handlers
    StationSignals(const StationSignals&) = delete;
    StationSignals& operator=(const StationSignals&) = delete;

    // True once SIGINT or SIGTERM has arrived.
    bool StopRequested() const;
    // Waits up to waitMs; returns at once with true when a stop is (or becomes) requested.
    bool WaitForStop(std::uint32_t waitMs);

    class Key {
        Key() = default;
        friend class StationSignals;
    };
    explicit StationSignals(Key) {}
};

}  // namespace vaultra::platform
