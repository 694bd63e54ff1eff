// Throughput of the link: 1 MB written in blocks and read back byte by byte, through a loopback echo (LAN
// port) and through a pseudo-terminal echo (serial port).
#include <arpa/inet.h>
#include <benchmark/benchmark.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
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

void BM_LanEchoThroughput(benchmark::State& state) {
    testsupport::LoopbackServer server;
    testsupport::ScopedEnv raw("VAULTRA_LAN_RAW_PORT", std::to_string(server.Port()));
    const Port port = static_cast<Port>(NewMPILanCom("127.0.0.1", 2000, 2000, 2000, kFramingRaw, 0, 0));
    ComOpenShared(port, 0, 8, 'n', 1);
    ComWriteByte(port, 0x00);
    if (!server.Accept()) {
        state.SkipWithError("no connection");
        return;
    }
    server.Receive(1);
    std::atomic<bool> stop{false};
    std::thread echo([&] { Echo(server.ClientFd(), stop); });
    for (auto _ : state) {
        if (!RoundTrip(port)) {
            state.SkipWithError("round trip failed");
            break;
        }
    }
    stop = true;
    echo.join();
    ComRelease(port);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_LanEchoThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_PtyEchoThroughput(benchmark::State& state) {
    testsupport::PtyPort pty(0);
    if (ComOpenShared(0, 115200, 8, 'n', 1) != 1) {
        state.SkipWithError("pseudo-terminal did not open");
        return;
    }
    std::atomic<bool> stop{false};
    std::thread echo([&] { Echo(pty.Master(), stop); });
    for (auto _ : state) {
        if (!RoundTrip(0)) {
            state.SkipWithError("round trip failed");
            break;
        }
    }
    stop = true;
    echo.join();
    ComRelease(0);
    state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * kTotal));
}
BENCHMARK(BM_PtyEchoThroughput)->Unit(benchmark::kMillisecond)->UseRealTime();

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
