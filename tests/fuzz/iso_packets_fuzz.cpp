// ISO-on-TCP packets from the PLC (connection confirm, data TPDUs, disconnects) to a connect and a few
// small services, scripted by the fuzzer.
#include "tests/fuzz/s7_scenarios.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vaultra::fuzz::RunScripted<vaultra::s7::IsoChannel>(data, size, vaultra::fuzz::SmallServices);
}
