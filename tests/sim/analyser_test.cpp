// A protocol analyser decodes the simulator's ISO-on-TCP traffic without errors, requests and answers.
// The session is run in-process and written as a capture file with a synthetic TCP stream; tshark (when
// installed) reads it. The live capture of a station session is in the driver integration tests.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/subprocess.h"
#include "s7_requests.h"
#include "sim/transport/framing/tpkt.h"
#include "sim/transport/iso_tcp.h"

namespace vaultra::sim::test {
namespace {

namespace fs = std::filesystem;
constexpr char kAnalyser[] = "/usr/bin/tshark";

// A capture of raw IPv4 packets between 127.0.0.1:40000 (client) and 127.0.0.1:102 (PLC).
class Capture {
public:
    Capture() {
        file_.reserve(64 * 1024);  // also keeps GCC 12 from a false overflow warning on the first appends
        bytes::AppendLe32(file_, 0xA1B2C3D4);
        file_.insert(file_.end(), {2, 0, 4, 0});
        bytes::AppendLe32(file_, 0);
        bytes::AppendLe32(file_, 0);
        bytes::AppendLe32(file_, 65535);
        bytes::AppendLe32(file_, 101);  // raw IP
        Segment(true, 0x02, {});
        Segment(false, 0x12, {});
        Segment(true, 0x10, {});
    }
    void Segment(bool fromClient, std::uint8_t flags, const Bytes& payload) {
        Bytes packet = {0x45, 0x00};
        bytes::AppendBe16(packet, static_cast<std::uint16_t>(40 + payload.size()));
        Append(packet, Bytes{0x00, 0x00, 0x40, 0x00, 0x40, 0x06, 0x00, 0x00, 127, 0, 0, 1, 127, 0, 0, 1});
        std::uint32_t sum = 0;
        for (std::size_t i = 0; i < 20; i += 2) {
            sum += bytes::LoadBe16(packet, i);
        }
        bytes::StoreBe16(packet, 10, static_cast<std::uint16_t>(~((sum & 0xFFFF) + (sum >> 16))));
        std::uint32_t& own = fromClient ? clientSeq_ : plcSeq_;
        const std::uint32_t other = fromClient ? plcSeq_ : clientSeq_;
        bytes::AppendBe16(packet, fromClient ? 40000 : 102);
        bytes::AppendBe16(packet, fromClient ? 102 : 40000);
        bytes::AppendBe32(packet, own);
        bytes::AppendBe32(packet, flags == 0x02 ? 0 : other);
        Append(packet, Bytes{0x50, flags, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00});
        Append(packet, payload);
        own += static_cast<std::uint32_t>(payload.size()) + ((flags & 0x02) ? 1 : 0);
        std::uint8_t record[16] = {};  // pcap record header
        bytes::StoreLe32(record, 0, 1700000000 + count_);
        bytes::StoreLe32(record, 8, static_cast<std::uint32_t>(packet.size()));
        bytes::StoreLe32(record, 12, static_cast<std::uint32_t>(packet.size()));
        Append(file_, record);
        Append(file_, packet);
        ++count_;
    }
    void Write(const fs::path& path) const {
        std::ofstream out(path, std::ios::binary);
        out.write(reinterpret_cast<const char*>(file_.data()), static_cast<std::streamsize>(file_.size()));
    }

private:
    Bytes file_;
    std::uint32_t clientSeq_ = 1000;
    std::uint32_t plcSeq_ = 5000;
    std::uint32_t count_ = 0;
};

// Runs requests through one simulated connection and records both directions, one packet per segment.
class RecordedSession {
public:
    RecordedSession() : plc_(Options(), s7::MakeDemoProgram(), Log(false)), iso_(plc_, "capture") {
        Send(IsoConnectPacket(2));
    }
    Bytes Request(const Bytes& pdu) { return Send(tpkt::DataPacket(pdu, true)); }
    const Capture& Recorded() const { return capture_; }

private:
    static s7::PlcOptions Options() {
        s7::PlcOptions options;
        options.directoryPage = 100;
        return options;
    }
    Bytes Send(const Bytes& bytes) {
        capture_.Segment(true, 0x18, bytes);
        const TransportOutput out = iso_.OnBytes(bytes, ProtocolHandler::Clock::now());
        if (!out.bytes.empty()) {
            capture_.Segment(false, 0x18, out.bytes);
        }
        return out.bytes;
    }
    s7::Plc plc_;
    IsoTcpConnection iso_;
    Capture capture_;
};

TEST(ProtocolAnalyser, DecodesEveryServiceAndItsAnswerWithoutErrors) {
    if (!fs::exists(kAnalyser)) {
        GTEST_SKIP() << "tshark is not installed";
    }
    RecordedSession s;
    s.Request(SetupRequest(480));
    s.Request(ListBlocksRequest());
    s.Request(ListTypeRequest('A'));
    s.Request(BlockInfoRequest("0A00010"));
    const Bytes start = s.Request(StartUploadRequest("0C00001"));
    ASSERT_GE(start.size(), 7u + 12 + 8);
    const Bytes id(start.begin() + 7 + 12 + 4, start.begin() + 7 + 12 + 8);
    for (int i = 0; i < 3; ++i) {
        s.Request(UploadRequest(id));
    }
    s.Request(EndUploadRequest(id));
    s.Request(StartUploadRequest("0800099"));
    s.Request(SzlRequest(0x0011, 0));
    s.Request(SzlRequest(0x0424, 0));
    s.Request(ReadVarRequest({AnyItem(0x02, 4, 10, 0x84, 0), AnyItem(0x01, 1, 0, 0x83, 3)}));
    s.Request(WriteVarRequest({AnyItem(0x02, 2, 0, 0x83, 80)}, FromHex("00 04 00 10 12 34")));
    s.Request(VartabReadRequest(0x02, 2, 0, 10));
    s.Request(VartabWriteRequest(0x02, 1, 0, 20, FromHex("AB CD")));
    s.Request(StatusVarInitRequest({FromHex("03 01 00 00 00 0A")}));
    s.Request(StatusDataRequest(0x02, 1));
    s.Request(PasswordRequest(Bytes(8, 0x41)));
    s.Request(ClearAllRequest());
    s.Request(InterruptStackRequest());
    s.Request(StopRequest());
    s.Request(BlockStackRequest());
    Bytes image(100, 0x11);
    image[0] = image[1] = 0x70;
    image[5] = s7::kFC;
    bytes::StoreBe16(image, 6, 90);
    bytes::StoreBe32(image, 8, 100);
    s.Request(RequestDownloadRequest("0C00090", 100, 28));
    s.Request(DownloadAnswer(image, false));
    s.Request(EndDownloadAnswer());
    s.Request(ControlRequest("0C00090", "_INSE"));
    s.Request(ControlRequest("0C00090", "_DELE"));
    s.Request(CompressRequest());
    s.Request(RamToRomRequest());
    s.Request(StartRequest());

    const fs::path file =
        fs::temp_directory_path() / ("vaultra_plcsim_capture_" + std::to_string(::getpid()) + ".pcap");
    s.Recorded().Write(file);
    std::string error;
    auto analyser = platform::Subprocess::Start(
        kAnalyser, {"-n", "-r", file.string(), "-Y", "_ws.malformed || _ws.expert.severity >= warning"},
        &error);
    ASSERT_TRUE(analyser) << error;
    std::vector<std::string> complaints;
    while (auto line = analyser->ReadLine(std::chrono::seconds(20))) {
        complaints.push_back(*line);
    }
    EXPECT_EQ(analyser->Wait(std::chrono::seconds(20)), 0);
    std::string all;
    for (const std::string& line : complaints) {
        all += "\n" + line;
    }
    EXPECT_TRUE(complaints.empty()) << all;
    if (complaints.empty()) {
        fs::remove(file);
    }
}

}  // namespace
}  // namespace vaultra::sim::test
