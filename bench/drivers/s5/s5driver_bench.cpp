// Directory and every block of a 200-block program from plcsim s5, over the pseudo-terminal paced like
// a 9600-baud line and over LAN loopback, with the bytes on the wire counted in both directions and the
// time compared with the wire limit (bytes x 11 bits / 9600 baud).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <vaultra/tarn5.h>

#include "drivers/link/com.h"
#include "drivers/link/forwarding_link.h"
#include "drivers/link/lan.h"
#include "drivers/s5/functions.h"
#include "drivers/s5/settings.h"
#include "sim/testing/plcsim_process.h"

namespace {

using namespace vaultra;
using sim::testing::PlcsimProcess;

constexpr int kBlocks = 200;
constexpr double kBaud = 9600;

// Passes every call to the real link and counts the bytes in each direction.
class CountingLink : public link::ForwardingLink {
public:
    using ForwardingLink::ForwardingLink;
    int64_t sent = 0;
    int64_t received = 0;

    int WriteByte(link::Port p, uint8_t v) override {
        ++sent;
        return ForwardingLink::WriteByte(p, v);
    }
    int Write(link::Port p, const uint8_t* d, int32_t n) override {
        sent += n;
        return ForwardingLink::Write(p, d, n);
    }
    int ReadByte(link::Port p, uint8_t* o) override { return Count(ForwardingLink::ReadByte(p, o)); }
    int ReadByteTimed(link::Port p, uint8_t* o, int32_t t) override {
        return Count(ForwardingLink::ReadByteTimed(p, o, t));
    }

private:
    int Count(int ok) {
        received += ok == 1 ? 1 : 0;
        return ok;
    }
};

// Directory of every type and every block; false on the first failure.
bool Backup(ConnectionRecord& r, int& blocks) {
    std::vector<uint16_t> dir(65536);
    std::vector<uint8_t> body(65536);
    for (int type = 0; type < 7; ++type) {
        if (s5::ReadDirectory(r, type, dir.data(), 0) != 1)
            return false;
        for (int n = 0; n < 256; ++n) {
            if (dir[static_cast<size_t>(n)] == 0)
                continue;
            S5BlockRecord block{};
            block.body = body.data();
            if (s5::ReadBlock(r, &block, type, n, 1) != 1)
                return false;
            ++blocks;
        }
    }
    return true;
}

void BM_S5Backup(benchmark::State& state, bool serial) {
    const auto dir = std::filesystem::temp_directory_path() / "vaultra_s5_bench";
    std::filesystem::create_directories(dir);
    std::vector<std::string> args{"s5", "--demo-blocks", std::to_string(kBlocks), "--cpu", "word16"};
    if (serial)
        args.insert(args.end(), {"--as511-pty", (dir / "com").string(), "--baud", "9600"});
    else
        args.insert(args.end(), {"--lan-raw-port", "0"});
    std::string error;
    auto plc = PlcsimProcess::Start(args, &error);
    if (!plc) {
        state.SkipWithError(error.c_str());
        return;
    }
    CountingLink counting(link::ActiveLink());
    link::ScopedLinkOverride route(counting, link::ActiveClock());
    s5::LibrarySettings().variant = s5::Variant::Lan;
    ConnectionRecord r{};
    r.port = 9;
    if (serial) {
        setenv("VAULTRA_COM10", plc->As511Pty()->c_str(), 1);
    } else {
        setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*plc->LanRawPort()).c_str(), 1);
        r.port = static_cast<uint16_t>(link::NewMPILanCom("127.0.0.1", 2000, 2000, 2000, 1, 0, 0));
    }
    if (s5::Init(r, 0) != 1) {
        state.SkipWithError("S5Init failed");
        return;
    }
    int blocks = 0;
    int64_t bytes = 0;
    double seconds = 0;
    for (auto _ : state) {
        counting.sent = counting.received = 0;
        blocks = 0;
        const auto start = std::chrono::steady_clock::now();
        if (!Backup(r, blocks)) {
            state.SkipWithError("backup failed");
            break;
        }
        seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        bytes = counting.sent + counting.received;
    }
    const double limit = static_cast<double>(bytes) * 11 / kBaud;
    state.counters["blocks"] = blocks;
    state.counters["wire_bytes"] = static_cast<double>(bytes);
    state.counters["sent"] = static_cast<double>(counting.sent);
    state.counters["received"] = static_cast<double>(counting.received);
    state.counters["seconds"] = seconds;
    state.counters["limit_9600_s"] = limit;
    state.counters["ratio_to_limit"] = limit > 0 ? seconds / limit : 0;
    s5::Exit(r);
}

BENCHMARK_CAPTURE(BM_S5Backup, pty_9600, true)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();
BENCHMARK_CAPTURE(BM_S5Backup, lan_loopback, false)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
