// Upload answers of the simulated PLC: 200-byte blocks over ISO-on-TCP on the loopback interface, and
// the PLC side alone without the network.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <thread>

#include "platform/poller.h"
#include "platform/server_socket.h"
#include "sim/s7/plc.h"
#include "sim/s7/session.h"
#include "sim/transport/framing/tpkt.h"
#include "sim/transport/iso_tcp.h"

namespace vaultra::sim {
namespace {

constexpr std::uint16_t kBlocks = 1000;
constexpr std::size_t kBlockSize = 200;

s7::Program SmallDataBlocks() {
    s7::Program program;
    for (std::uint16_t n = 1; n <= kBlocks; ++n) {
        Bytes image(kBlockSize, static_cast<std::uint8_t>(n));
        image[0] = image[1] = 0x70;
        image[5] = s7::kDB;
        bytes::StoreBe16(image, 6, n);
        bytes::StoreBe32(image, 8, kBlockSize);
        bytes::StoreBe16(image, 34, kBlockSize - 72);
        program.Put({s7::kDB, n}, image);
    }
    return program;
}

Bytes Job(const Bytes& param) {
    Bytes pdu = {0x32, 0x01, 0x00, 0x00, 0x02, 0x00};
    bytes::AppendBe16(pdu, static_cast<std::uint16_t>(param.size()));
    bytes::AppendBe16(pdu, 0);
    Append(pdu, param);
    return pdu;
}

Bytes StartUpload(std::uint16_t number) {
    char name[16];
    std::snprintf(name, sizeof name, "_0A%05uA", number);
    Bytes param = {0x1D, 0, 0, 0, 0, 0, 0, 0, 0x09};
    AppendText(param, name);
    return Job(param);
}

Bytes UploadJob(std::uint8_t function, ByteView startAnswer) {
    // The identifier sits at parameter bytes 4-7 of the start answer (PDU offset 12).
    return Job(Bytes{function, 0, 0, 0, 0, 0, startAnswer[18], startAnswer[19]});
}

// A one-connection ISO-on-TCP server thread around the PLC side.
class LoopbackPlc {
public:
    LoopbackPlc() : plc_({}, SmallDataBlocks(), Log(false)) {
        std::string error;
        listener_ = platform::ListeningSocket::Open(0, &error);
        thread_ = std::thread([this] { Serve(); });
    }
    ~LoopbackPlc() {
        stop_ = true;
        thread_.join();
    }
    std::uint16_t Port() const { return listener_->Port(); }

private:
    void Serve() {
        std::unique_ptr<platform::StreamConnection> stream;
        IsoTcpConnection iso(plc_, "bench");
        while (!stop_) {
            if (!stream) {
                if (platform::WaitReadable(listener_->Fd(), 50)) {
                    stream = listener_->Accept();
                }
                continue;
            }
            if (!platform::WaitReadable(stream->Fd(), 50)) {
                continue;
            }
            std::uint8_t chunk[4096];
            const auto read = stream->ReadSome(chunk);
            if (read.closed) {
                return;
            }
            const auto out = iso.OnBytes(ByteView(chunk, read.count), ProtocolHandler::Clock::now());
            stream->WriteAll(out.bytes);
        }
    }

    s7::Plc plc_;
    std::unique_ptr<platform::ListeningSocket> listener_;
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

// Client side: one PDU out, one answer packet in.
class Client {
public:
    explicit Client(std::uint16_t port) : stream_(platform::ConnectLoopback(port, 2000)) {
        // Connection request: local TSAP 01 00, remote TSAP 02 02, TPDU size code 08.
        const Bytes request = {0x11, 0xE0, 0x00, 0x00, 0x00, 0x01, 0x00, 0xC0, 0x01,
                               0x08, 0xC1, 0x02, 0x01, 0x00, 0xC2, 0x02, 0x02, 0x02};
        stream_->WriteAll(tpkt::Packet(request));
        Packet();
        Exchange(Job(Bytes{0xF0, 0, 0, 1, 0, 1, 0x01, 0xE0}));
    }
    Bytes Exchange(const Bytes& pdu) {
        stream_->WriteAll(tpkt::DataPacket(pdu, true));
        return Packet();
    }

private:
    Bytes Packet() {
        Bytes packet;
        std::size_t wanted = 4;
        while (packet.size() < wanted) {
            std::uint8_t chunk[1024];
            const auto read = stream_->ReadSome(std::span<std::uint8_t>(chunk, wanted - packet.size()));
            if (read.closed) {
                return {};
            }
            packet.insert(packet.end(), chunk, chunk + read.count);
            if (packet.size() >= 4) {
                wanted = bytes::LoadBe16(packet, 2);
            }
        }
        return Bytes(packet.begin() + 7, packet.end());
    }
    std::unique_ptr<platform::StreamConnection> stream_;
};

void BM_UploadOverIsoTcpLoopback(benchmark::State& state) {
    LoopbackPlc plc;
    Client client(plc.Port());
    std::uint16_t number = 1;
    std::size_t bytes = 0;
    for (auto _ : state) {
        const Bytes start = client.Exchange(StartUpload(number));
        const Bytes piece = client.Exchange(UploadJob(0x1E, start));
        client.Exchange(UploadJob(0x1F, start));
        bytes += piece.size() - 18;
        number = number == kBlocks ? 1 : number + 1;
    }
    if (bytes != state.iterations() * kBlockSize) {
        state.SkipWithError("upload answers did not carry the blocks");
    }
    state.SetItemsProcessed(state.iterations() * 3);
    state.counters["requests"] = benchmark::Counter(static_cast<double>(state.iterations() * 3));
}
BENCHMARK(BM_UploadOverIsoTcpLoopback)->Iterations(kBlocks)->UseRealTime()->Unit(benchmark::kMicrosecond);

void BM_UploadAnswerInProcess(benchmark::State& state) {
    s7::Plc plc({}, SmallDataBlocks(), Log(false));
    s7::Session session(plc, "bench");
    std::uint16_t number = 1;
    for (auto _ : state) {
        const auto start = session.Handle(StartUpload(number));
        const Bytes& answer = start.pdus.front();
        const Bytes upload = Job(Bytes{0x1E, 0, 0, 0, 0, 0, answer[18], answer[19]});
        benchmark::DoNotOptimize(session.Handle(upload));
        benchmark::DoNotOptimize(session.Handle(Job(Bytes{0x1F, 0, 0, 0, 0, 0, answer[18], answer[19]})));
        number = number == kBlocks ? 1 : number + 1;
    }
    state.SetItemsProcessed(state.iterations() * 3);
}
BENCHMARK(BM_UploadAnswerInProcess)->Iterations(kBlocks)->Unit(benchmark::kMicrosecond);

}  // namespace
}  // namespace vaultra::sim

BENCHMARK_MAIN();
