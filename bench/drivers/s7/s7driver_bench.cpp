// Directory and upload of a whole 600-block program from plcsim, per transport, with the S7 requests
// the driver sent counted on the way out, and the turns of the line: each time the driver waits for the
// other side after it wrote. On a loopback every turn costs about one wake-up of each process, so the
// turns per request, more than anything else, set the time of a transport.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "drivers/link/com.h"
#include "drivers/link/forwarding_link.h"
#include "drivers/link/lan.h"
#include "drivers/s7/adapter_channel.h"
#include "drivers/s7/iso_channel.h"
#include "drivers/s7/services.h"
#include "drivers/s7/settings.h"
#include "sim/testing/plcsim_process.h"

namespace {

using namespace vaultra;
using sim::testing::PlcsimProcess;

// Passes every call to the real link, counts the S7 jobs by function code, the write calls and the turns.
class CountingLink : public link::ForwardingLink {
public:
    using ForwardingLink::ForwardingLink;
    std::map<uint8_t, int64_t> jobs;  // function code -> requests
    int64_t requests = 0;
    int64_t writeCalls = 0;
    int64_t telegramsSent = 0;  // adapter telegrams the driver sent (each starts with a lone STX)
    int64_t answerWrites = 0;   // lone DLE or NAK: the driver's part of a telegram it received
    int64_t turns = 0;          // reads that follow a write: the driver waits for the other side

    int Write(link::Port port, const uint8_t* data, int32_t n) override {
        Note(data, n);
        if (n > 13 && data[0] == 0x02 && data[1] == 0xF0) {  // ISO data TPDU with an S7 PDU
            Count(data[4], data[13]);
        } else if (n >= 16 && data[0] == 0x00 && data[1] == 0x0C && data[4] == 0xF1) {
            // Adapter data telegram (DLE doubled): adapter header, S7 header, parameter.
            std::vector<uint8_t> content;
            for (int32_t i = 0; i < n; ++i) {
                content.push_back(data[i]);
                if (data[i] == 0x10 && i + 1 < n && data[i + 1] == 0x10)
                    ++i;
            }
            if (content.size() > 16)
                Count(content[7], content[16]);
        }
        return ForwardingLink::Write(port, data, n);
    }
    int WriteByte(link::Port p, uint8_t v) override {
        Note(&v, 1);
        return ForwardingLink::WriteByte(p, v);
    }
    int ReadByte(link::Port p, uint8_t* o) override {
        Turn();
        return ForwardingLink::ReadByte(p, o);
    }
    int ReadByteTimed(link::Port p, uint8_t* o, int32_t t) override {
        Turn();
        return ForwardingLink::ReadByteTimed(p, o, t);
    }
    int32_t ReadPacket(link::Port p, uint8_t* b, int32_t c) override {
        Turn();
        return ForwardingLink::ReadPacket(p, b, c);
    }

private:
    void Turn() {
        turns += wrote_ ? 1 : 0;
        wrote_ = false;
    }
    void Note(const uint8_t* data, int32_t n) {
        wrote_ = true;
        ++writeCalls;
        // A telegram starts with a lone STX, or with the DLE accepting the adapter's last telegram and STX.
        if ((n == 1 && data[0] == 0x02) || (n == 2 && data[0] == 0x10 && data[1] == 0x02))
            ++telegramsSent;
        if (n == 1 && (data[0] == 0x10 || data[0] == 0x15))
            ++answerWrites;
    }
    void Count(uint8_t rosctr, uint8_t function) {
        ++requests;
        if (rosctr == 1)
            ++jobs[function];
    }
    bool wrote_ = false;
};

struct Transport {
    const char* option;
    int16_t lanKind;  // 0 serial
};

std::unique_ptr<PlcsimProcess> StartSim(const Transport& t, const std::filesystem::path& dir) {
    std::string error;
    std::vector<std::string> args{"s7", "--demo-blocks", "600", t.option,
                                  t.lanKind == 0 ? (dir / "mpi").string() : std::string("0")};
    auto sim = PlcsimProcess::Start(args, &error);
    if (!sim)
        return nullptr;
    if (t.lanKind == 0)
        setenv("VAULTRA_COM7", sim->MpiPty()->c_str(), 1);
    if (t.lanKind == 1)
        setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*sim->LanRawPort()).c_str(), 1);
    if (t.lanKind == 3)
        setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*sim->IsoPort()).c_str(), 1);
    return sim;
}

// One backup: every type's directory, every block uploaded.
int64_t BackUp(s7::Channel& channel, ConnectionRecord& record, std::vector<int16_t>& table,
               std::vector<uint8_t>& image) {
    int64_t blocks = 0;
    for (int type = 0; type < 7; ++type) {
        std::fill(table.begin(), table.end(), int16_t{0});
        if (!s7::ReadDirectory(channel, record, type, table.data(), nullptr))
            return -1;
        for (int n = 0; n < 65536; ++n) {
            if (table[n] != -1)
                continue;
            BlockRecord block{};
            block.image = image.data();
            if (!s7::ReadBlock(channel, record, &block, type, n, image.size()))
                return -1;
            ++blocks;
        }
    }
    return blocks;
}

void RunBackup(benchmark::State& state, Transport t) {
    const auto dir = std::filesystem::temp_directory_path() / ("vaultra_s7bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    auto sim = StartSim(t, dir);
    if (!sim) {
        state.SkipWithError("plcsim did not start");
        return;
    }
    CountingLink counter(link::ActiveLink());
    link::ScopedLinkOverride guard(counter, link::ActiveClock());
    std::unique_ptr<s7::Channel> channel;
    if (t.lanKind == 3) {
        channel = std::make_unique<s7::IsoChannel>();
    } else {
        channel = std::make_unique<s7::AdapterChannel>(t.lanKind == 0);
    }
    std::vector<int16_t> table(65536);
    std::vector<uint8_t> image(1 << 20);
    int64_t blocks = 0;
    for (auto _ : state) {
        ConnectionRecord record{};
        record.port = 6;
        if (t.lanKind != 0)
            record.port = static_cast<uint16_t>(
                link::NewMPILanCom("127.0.0.1", 2000, 2000, 5000, t.lanKind, 0xFFFFFFFF, 0));
        record.plcAddress = t.lanKind == 3 ? 0 : 2;
        record.rackSlot = 2;
        record.busSpeed = 2;
        link::ComSetCharTimeoutFactor(16);
        if (!link::ComOpenShared(record.port, 19200, 8, 'O', 1) || !channel->Initialise(record)) {
            state.SkipWithError("init failed");
            break;
        }
        blocks = BackUp(*channel, record, table, image);
        channel->DisconnectAndRelease(record);
        link::ComRelease(record.port);
        if (blocks < 0) {
            state.SkipWithError("backup failed");
            break;
        }
    }
    const double runs = static_cast<double>(state.iterations());
    state.counters["blocks"] = static_cast<double>(blocks);
    state.counters["requests"] = static_cast<double>(counter.requests) / runs;
    state.counters["startUpload"] = static_cast<double>(counter.jobs[0x1D]) / runs;
    state.counters["upload"] = static_cast<double>(counter.jobs[0x1E]) / runs;
    state.counters["endUpload"] = static_cast<double>(counter.jobs[0x1F]) / runs;
    state.counters["writeCalls"] = static_cast<double>(counter.writeCalls) / runs;
    if (counter.requests > 0) {
        state.counters["turnsPerRequest"] =
            static_cast<double>(counter.turns) / static_cast<double>(counter.requests);
    }
    if (counter.telegramsSent > 0) {
        // Writes from the STX to the block check character of each telegram the driver sent.
        state.counters["writesPerTelegram"] = static_cast<double>(counter.writeCalls - counter.answerWrites) /
                                              static_cast<double>(counter.telegramsSent);
    }
    state.counters["requestsPerBlock"] =
        blocks > 0 ? static_cast<double>(counter.jobs[0x1D] + counter.jobs[0x1E] + counter.jobs[0x1F]) /
                         (runs * static_cast<double>(blocks))
                   : 0;
    std::filesystem::remove_all(dir);
}

BENCHMARK_CAPTURE(RunBackup, iso_on_tcp, Transport{"--iso-port", 3})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);
BENCHMARK_CAPTURE(RunBackup, lan_adapter, Transport{"--lan-raw-port", 1})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);
BENCHMARK_CAPTURE(RunBackup, pseudo_terminal, Transport{"--mpi-pty", 0})
    ->Unit(benchmark::kMillisecond)
    ->Iterations(1);

}  // namespace

BENCHMARK_MAIN();
