// plcsim's request handling on bytes from a client: each of its transports (ISO-on-TCP, MPI adapter on
// the serial line, framed LAN adapter) fed the fuzzer's pieces with time passing between them. A fresh
// PLC with a small program for every run, so that one run cannot change the next.
#include "sim/s7/demo_program.h"
#include "sim/s7/plc.h"
#include "sim/transport/iso_tcp.h"
#include "sim/transport/lan_framed.h"
#include "sim/transport/mpi_adapter.h"
#include "tests/fuzz/fuzz_support.h"

namespace {

using namespace vaultra::sim;

std::unique_ptr<ProtocolHandler> Transport(std::uint8_t choice, s7::Plc& plc) {
    switch (choice % 3) {
        case 0:
            return std::make_unique<IsoTcpConnection>(plc, "iso");
        case 1:
            return std::make_unique<MpiAdapter>(plc, "mpi");
        default:
            return std::make_unique<LanFramedAdapter>(plc, "lan");
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const s7::Program program = s7::MakeDemoProgram(12);
    vaultra::fuzz::Input in(data, size);
    s7::PlcOptions options;
    options.memoryBytes = 64 * 1024;
    s7::Plc plc(options, program, Log(false));
    const auto handler = Transport(in.Byte(), plc);
    auto now = ProtocolHandler::Clock::time_point{} + std::chrono::hours(1);
    for (int piece = 0; piece < 256 && !in.Empty(); ++piece) {
        const vaultra::fuzz::Bytes bytes = in.Chunk();
        if (handler->OnBytes(bytes, now).close) {
            break;
        }
        now += std::chrono::milliseconds(in.Byte() * 20);
        handler->OnTick(now);
    }
    return 0;
}
