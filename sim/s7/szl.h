// System status lists of the simulated CPU: identification, protection and operating mode.
#pragma once

#include <cstdint>
#include <optional>

#include "sim/s7/plc.h"

namespace vaultra::sim::s7 {

// The answer payload for a list and index: list id, index, record length, record count, records.
// Nothing when the PLC does not have the list or index.
std::optional<Bytes> SystemStatusList(const Plc& plc, std::uint16_t id, std::uint16_t index, bool loggedOn);

}  // namespace vaultra::sim::s7
