// S7 answers of a PLC over ISO-on-TCP to a whole directory read and an upload, scripted by the fuzzer.
#include "tests/fuzz/s7_scenarios.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vaultra::fuzz::RunScripted<vaultra::s7::IsoChannel>(data, size, vaultra::fuzz::DirectoryAndUpload);
}
