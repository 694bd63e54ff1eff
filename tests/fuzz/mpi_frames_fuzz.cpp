// Bytes of an MPI adapter on the serial line (handshakes, framed telegrams, segmented answers) to an
// adapter initialisation, a connect, a few small services and a directory read with an upload.
#include "tests/fuzz/s7_scenarios.h"

namespace {

void Both(vaultra::s7::Channel& channel, ConnectionRecord& record) {
    vaultra::fuzz::SmallServices(channel, record);
    vaultra::fuzz::DirectoryAndUpload(channel, record);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    return vaultra::fuzz::RunScripted<vaultra::s7::AdapterChannel>(data, size, Both, true);
}
