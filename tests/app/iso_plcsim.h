// Test helper: plcsim s7 on a free ISO-on-TCP port of the loopback, with VAULTRA_ISO_TCP_PORT pointing the
// driver libraries of this process and of the programs it starts at it.
#pragma once

#include <cstdlib>
#include <memory>
#include <string>
#include <vector>

#include "sim/testing/plcsim_process.h"

namespace vaultra::testing {

// plcsim s7 with the given options; nullptr and the reason in *error when it does not come up.
inline std::unique_ptr<sim::testing::PlcsimProcess> StartIsoPlcsim(const std::vector<std::string>& options,
                                                                   std::string* error) {
    std::vector<std::string> args{"s7", "--iso-port", "0"};
    args.insert(args.end(), options.begin(), options.end());
    auto sim = sim::testing::PlcsimProcess::Start(args, error);
    if (sim != nullptr) {
        setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*sim->IsoPort()).c_str(), 1);
    }
    return sim;
}

}  // namespace vaultra::testing
