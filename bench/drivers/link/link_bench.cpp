// Throughput of the link: 1 MB written in blocks and read back byte by byte, through a loopback echo (LAN
// port) and through a pseudo-terminal echo (serial port); and the time of one one-byte turn on each.
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "drivers/link/com.h"
#include "drivers/link/lan.h"
#include "tests/drivers/link/link_test_support.h"

namespace vaultra::link {
namespace {

constexpr std::size_t kTotal = 1 << 20;
constexpr std::int32_t kBlock = 1024;

// Copies everything that arrives on fd back to it until stop is set.
void Echo(int fd, const std::atomic<bool>& stop) {
    std::uint8_t buffer[8192];
    while (!stop) {
        pollfd entry{fd, POLLIN, 0};
        if (poll(&entry, 1, 20) <= 0) {
            continue;
        }
        const ssize_t got = read(fd, buffer, sizeof buffer);
        if (got <= 0) {
            return;
        }
        for (ssize_t done = 0; done < got;) {
            const ssize_t put = write(fd, buffer + done, static_cast<size_t>(got - done));
            if (put <= 0) {
                return;
            }
            done += put;
        }
    }
}

// Writes kTotal bytes in blocks, reading each block back byte by byte; false on any failure.
bool RoundTrip(Port port) {
    std::uint8_t block[kBlock];
    for (std::int32_t i = 0; i < kBlock; ++i) {
        block[i] = static_cast<std::uint8_t>(i);
    }
    for (std::size_t sent = 0; sent < kTotal; sent += kBlock) {
        if (ComWrite(port, block, kBlock) != 1) {
            return false;
        }
        for (std::int32_t i = 0; i < kBlock; ++i) {
            std::uint8_t value = 0;
            if (ComReadByte(port, &value) != 1 || value != block[i]) {
                return false;
            }
        }
    }
    return true;
}

// A link port whose far side copies every byte back from a thread of its own: a loopback LAN port or a
// pseudo-terminal serial port.
class EchoedPort {
public:
    static std::unique_ptr<EchoedPort> Lan() {
        auto echoed = std::unique_ptr<EchoedPort>(new EchoedPort);
        echoed->server_ = std::make_unique<testsupport::LoopbackServer>();
        echoed->env_ = std::make_unique<testsupport::ScopedEnv>("VAULTRA_LAN_RAW_PORT",
                                                                std::to_string(echoed->server_->Port()));
        echoed->port_ = static_cast<Port>(NewMPILanCom("127.0.0.1", 2000, 2000, 2000, kFramingRaw, 0, 0));
        ComOpenShared(echoed->port_, 0, 8, 'n', 1);
        ComWriteByte(echoed->port_, 0x00);  // the connection is made on first use
        if (!echoed->server_->Accept()) {
            return nullptr;
        }
        echoed->server_->Receive(1);
        echoed->Start(echoed->server_->ClientFd());
        return echoed;
    }
    static std::unique_ptr<EchoedPort> Pty() {
        auto echoed = std::unique_ptr<EchoedPort>(new EchoedPort);
        echoed->pty_ = std::make_unique<testsupport::PtyPort>(0);
        echoed->port_ = 0;
        if (ComOpenShared(0, 115200, 8, 'n', 1) != 1) {
            return nullptr;
        }
        echoed->Start(echoed->pty_->Master());
        return echoed;
    }
    ~EchoedPort() {
        stop_ = true;
        if (echo_.joinable()) {
            echo_.join();
        }
        ComRelease(port_);
    }
    Port LinkPort() const { return port_; }

private:
    EchoedPort() = default;
    void Start(int fd) {
        echo_ = std::thread([this, fd] { Echo(fd, stop_); });
    }
    std::unique_ptr<testsupport::LoopbackServer> server_;
    std::unique_ptr<testsupport::ScopedEnv> env_;
    std::unique_ptr<testsupport::PtyPort> pty_;
    Port port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread echo_;
};

void RunThroughput(benchmark::State& state, std::unique_ptr<EchoedPort> echoed) {
    if (echoed == nullptr) {
        state.SkipWithError("the port did not open");
        return;
    }
    for (auto _ : state) {
        if (!RoundTrip(echoed->LinkPort())) {
            state.SkipWithError("round trip failed");
            break;
        }
    }
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}

void BM_LanEchoThroughput(benchmark::State& state) {
    RunThroughput(state, EchoedPort::Lan());
}
BENCHMARK(BM_LanEchoThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PtyEchoThroughput(benchmark::State& state) {
    RunThroughput(state, EchoedPort::Pty());
}
BENCHMARK(BM_PtyEchoThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

// One byte out and the same byte back, as the adapter handshake does about seven times per S7 request:
// the floor under every turn of the line (two wake-ups), whatever the protocol code above it does.
void RunTurns(benchmark::State& state, std::unique_ptr<EchoedPort> echoed) {
    if (echoed == nullptr) {
        state.SkipWithError("the port did not open");
        return;
    }
    std::uint8_t value = 0;
    for (auto _ : state) {
        if (ComWriteByte(echoed->LinkPort(), 0x10) != 1 ||
            ComReadByteTimed(echoed->LinkPort(), &value, 20) != 1 || value != 0x10) {
            state.SkipWithError("turn failed");
            break;
        }
    }
}

void BM_LanOneByteTurn(benchmark::State& state) {
    RunTurns(state, EchoedPort::Lan());
}
BENCHMARK(BM_LanOneByteTurn)->Unit(benchmark::kMicrosecond)->UseRealTime();

void BM_PtyOneByteTurn(benchmark::State& state) {
    RunTurns(state, EchoedPort::Pty());
}
BENCHMARK(BM_PtyOneByteTurn)->Unit(benchmark::kMicrosecond)->UseRealTime();

// Byte-wise reads of bytes that are already buffered: no system call per byte.
void BM_BufferedReadByte(benchmark::State& state) {
    testsupport::LoopbackServer server;
    testsupport::ScopedEnv raw("VAULTRA_LAN_RAW_PORT", std::to_string(server.Port()));
    const Port port = static_cast<Port>(NewMPILanCom("127.0.0.1", 2000, 2000, 2000, kFramingRaw, 0, 0));
    ComOpenShared(port, 0, 8, 'n', 1);
    ComWriteByte(port, 0x00);
    if (!server.Accept()) {
        state.SkipWithError("no connection");
        return;
    }
    const testsupport::Bytes chunk(2048, 0x55);
    std::uint8_t value = 0;
    for (auto _ : state) {
        state.PauseTiming();
        server.Send(chunk);
        while (ComHasInput(port) == 0) {
        }
        state.ResumeTiming();
        for (std::size_t i = 0; i < chunk.size(); ++i) {
            benchmark::DoNotOptimize(ComReadByte(port, &value));
        }
    }
    ComRelease(port);
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * chunk.size()));
}
BENCHMARK(BM_BufferedReadByte);

}  // namespace
}  // namespace vaultra::link
BENCHMARK_MAIN();
