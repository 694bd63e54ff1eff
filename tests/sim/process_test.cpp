// plcsim as a process: start-up lines, every transport over real sockets and a pseudo-terminal,
// consistency between clients, the dump directory and the exit status.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "platform/pty.h"
#include "platform/server_socket.h"
#include "platform/subprocess.h"
#include "s7_requests.h"
#include "s7project/s7project.h"
#include "sim/testing/plcsim_process.h"
#include "sim/transport/framing/block_line.h"
#include "sim/transport/framing/tpkt.h"

namespace vaultra::sim::test {
namespace {

namespace fs = std::filesystem;
using testing::PlcsimProcess;

constexpr int kWaitMs = 3000;

fs::path TempDir(const std::string& name) {
    const fs::path dir =
        fs::temp_directory_path() / ("vaultra_plcsim_" + name + "_" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    return dir;
}

Bytes ReadFile(const fs::path& path) {
    std::ifstream file(path, std::ios::binary);
    return Bytes(std::istreambuf_iterator<char>(file), {});
}

// Reads exactly count bytes, waiting at most kWaitMs for each read.
template <typename Stream>
Bytes ReadExactly(Stream& stream, std::size_t count) {
    Bytes out;
    while (out.size() < count) {
        if (!platform::WaitReadable(stream.Fd(), kWaitMs)) {
            ADD_FAILURE() << "no more bytes after " << out.size() << " of " << count;
            break;
        }
        std::uint8_t chunk[1024];
        const auto read =
            stream.ReadSome(std::span<std::uint8_t>(chunk, std::min(sizeof chunk, count - out.size())));
        if (read.closed) {
            ADD_FAILURE() << "closed after " << out.size() << " bytes";
            break;
        }
        out.insert(out.end(), chunk, chunk + read.count);
    }
    return out;
}

// An ISO-on-TCP client that sends one PDU and reads the answers until the last data unit.
class IsoClient {
public:
    explicit IsoClient(std::uint16_t port) : stream_(platform::ConnectLoopback(port, kWaitMs)) {
        EXPECT_TRUE(stream_);
        if (stream_) {
            stream_->WriteAll(IsoConnectPacket(2));
            EXPECT_EQ(ReadPacket()[1], 0xD0);
            EXPECT_EQ(Exchange(SetupRequest()).param.size(), 8u);
        }
    }
    Bytes ReadPacket() {
        const Bytes header = ReadExactly(*stream_, 4);
        return header.size() == 4 ? ReadExactly(*stream_, bytes::LoadBe16(header, 2) - 4u) : Bytes(3, 0);
    }
    s7::Pdu Read() {
        Bytes pdu;
        for (int guard = 0; guard < 64; ++guard) {
            const Bytes tpdu = ReadPacket();
            pdu.insert(pdu.end(), tpdu.begin() + 3, tpdu.end());
            if (tpdu[2] == 0x80) {
                break;
            }
        }
        std::string why;
        auto decoded = s7::DecodePdu(pdu, &why);
        EXPECT_TRUE(decoded) << why;
        return decoded.value_or(s7::Pdu{});
    }
    // Sends a PDU that gets no answer.
    void Send(const Bytes& pdu) { stream_->WriteAll(tpkt::DataPacket(pdu, true)); }
    s7::Pdu Exchange(const Bytes& pdu) {
        Send(pdu);
        return Read();
    }
    bool Ok() const { return stream_ != nullptr; }

private:
    std::unique_ptr<platform::StreamConnection> stream_;
};

Bytes DownloadOver(IsoClient& client, std::string_view name, const Bytes& image) {
    client.Exchange(RequestDownloadRequest(name, static_cast<std::uint32_t>(image.size()), 0));
    s7::Pdu job = client.Read();
    std::size_t sent = 0;
    while (job.rosctr == s7::Rosctr::Job && job.param[0] == 0x1B && sent < image.size()) {
        const std::size_t n = std::min<std::size_t>(222, image.size() - sent);
        job = client.Exchange(DownloadAnswer(ByteView(image).subspan(sent, n), sent + n < image.size()));
        sent += n;
    }
    EXPECT_EQ(job.param[0], 0x1C);
    client.Send(EndDownloadAnswer());
    return client.Exchange(ControlRequest(name, "_INSE")).param;
}

Bytes UploadOver(IsoClient& client, std::string_view name) {
    const s7::Pdu start = client.Exchange(StartUploadRequest(name));
    if (start.param.size() != 16) {
        return {};
    }
    const Bytes id(start.param.begin() + 4, start.param.begin() + 8);
    const std::size_t total = std::stoul(std::string(start.param.begin() + 9, start.param.end()));
    Bytes image;
    for (int guard = 0; image.size() < total && guard < 1000; ++guard) {
        const s7::Pdu piece = client.Exchange(UploadRequest(id));
        image.insert(image.end(), piece.data.begin() + 4, piece.data.end());
    }
    client.Exchange(EndUploadRequest(id));
    return image;
}

TEST(PlcsimProcess, PrintsOneLinePerTransportThenReadyAndCleansUp) {
    const fs::path dir = TempDir("lines");
    const fs::path link = dir / "com1";
    std::string error;
    auto plc = PlcsimProcess::Start({"s7", "--demo", "--iso-port", "0", "--lan-raw-port", "0",
                                     "--lan-framed-port", "0", "--mpi-pty", link.string()},
                                    &error);
    ASSERT_TRUE(plc) << error;
    const auto& lines = plc->StartupLines();
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "plcsim s7: iso-tcp 127.0.0.1:" + std::to_string(*plc->IsoPort()));
    EXPECT_EQ(lines[1], "plcsim s7: lan-raw 127.0.0.1:" + std::to_string(*plc->LanRawPort()));
    EXPECT_EQ(lines[2], "plcsim s7: lan-framed 127.0.0.1:" + std::to_string(*plc->LanFramedPort()));
    EXPECT_EQ(lines[3], "plcsim s7: mpi-pty " + link.string());
    EXPECT_EQ(lines[4], "plcsim s7: ready");
    EXPECT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(plc->Stop(), 0);
    EXPECT_FALSE(fs::exists(fs::symlink_status(link))) << "the link goes with the process";
    fs::remove_all(dir);
}

TEST(PlcsimProcess, ClientsOneAfterTheOtherSeeTheSamePlcAndTheDumpShowsIt) {
    const fs::path dir = TempDir("dump");
    std::string error;
    auto plc = PlcsimProcess::Start({"s7", "--demo", "--iso-port", "0", "--dump-dir", dir.string()}, &error);
    ASSERT_TRUE(plc) << error;
    Bytes image;
    {
        IsoClient first(*plc->IsoPort());
        ASSERT_TRUE(first.Ok());
        image = UploadOver(first, "0A00010");
        ASSERT_GT(image.size(), 72u);
        bytes::StoreBe16(image, 6, 77);
        EXPECT_EQ(DownloadOver(first, "0A00077", image), FromHex("28"));
    }
    {
        IsoClient second(*plc->IsoPort());
        EXPECT_EQ(UploadOver(second, "0A00077"), image);
    }
    ASSERT_TRUE(plc->Dump());
    EXPECT_EQ(ReadFile(dir / "DB77.blk"), image);
    EXPECT_TRUE(fs::exists(dir / "SDB0.blk"));
    EXPECT_TRUE(fs::exists(dir / "OB1.blk"));
    {
        IsoClient third(*plc->IsoPort());
        EXPECT_EQ(third.Exchange(ControlRequest("0A00077", "_DELE")).param, FromHex("28"));
    }
    EXPECT_EQ(plc->Stop(), 0);
    EXPECT_FALSE(fs::exists(dir / "DB77.blk")) << "the dump at exit shows the delete";
    EXPECT_TRUE(fs::exists(dir / "DB10.blk"));
    fs::remove_all(dir);
}

// Bus parameters through the pseudo-terminal and through both LAN ports.
template <typename Stream>
void ExpectAdapterReply(Stream& stream, const Bytes& prefix) {
    const Bytes telegram = FromHex("01 03 02 86 00 9F 01 3C 00 90 01 14 00 00 14 02 00 7E 05 01 01 03 81");
    stream.WriteAll(Concat({prefix, Bytes{0x02}}));
    EXPECT_EQ(ReadExactly(stream, 1), Bytes{0x10});
    Bytes framed = line::FrameBlock(telegram);
    if (!prefix.empty()) {
        framed.insert(framed.begin(), {static_cast<std::uint8_t>(framed.size()), 0x00});
    }
    stream.WriteAll(framed);
    EXPECT_EQ(ReadExactly(stream, 2), FromHex("10 02")) << "accepted, then the reply starts";
    stream.WriteAll(Concat({prefix, Bytes{0x10}}));
    const Bytes reply = ReadExactly(stream, 9 + 3);
    EXPECT_EQ(Bytes(reply.begin(), reply.begin() + 3), FromHex("01 03 20"));
}

TEST(PlcsimProcess, MpiAdapterAnswersOnThePseudoTerminalAndTheLanPorts) {
    const fs::path dir = TempDir("mpi");
    std::string error;
    auto plc = PlcsimProcess::Start(
        {"s7", "--lan-raw-port", "0", "--lan-framed-port", "0", "--mpi-pty", (dir / "ttyMPI").string()},
        &error);
    ASSERT_TRUE(plc) << error;
    auto terminal = platform::TerminalClient::Open(*plc->MpiPty(), &error);
    ASSERT_TRUE(terminal) << error;
    ExpectAdapterReply(*terminal, {});
    auto raw = platform::ConnectLoopback(*plc->LanRawPort(), kWaitMs);
    ASSERT_TRUE(raw);
    ExpectAdapterReply(*raw, {});
    auto framed = platform::ConnectLoopback(*plc->LanFramedPort(), kWaitMs);
    ASSERT_TRUE(framed);
    ExpectAdapterReply(*framed, FromHex("01 00"));
    fs::remove_all(dir);
}

TEST(PlcsimProcess, LoadsTheBlocksOfAProject) {
    const fs::path dir = TempDir("project");
    const s7::Program demo = s7::MakeDemoProgram();
    s7project::BlockList blocks;
    for (const auto& [id, image] : demo.Blocks()) {
        if (id.type == s7::kFC || id.type == s7::kDB) {
            blocks.push_back(image);
        }
    }
    ASSERT_TRUE(s7project::WriteS7Project(dir / "DEMO.S7P", blocks));
    const fs::path project = dir / "DEMO" / "DEMO.S7P";  // the writer puts the project in its own folder
    std::string error;
    auto plc = PlcsimProcess::Start({"s7", "--program", project.string(), "--iso-port", "0"}, &error);
    ASSERT_TRUE(plc) << error;
    IsoClient client(*plc->IsoPort());
    const s7::Pdu list = client.Exchange(ListBlocksRequest());
    const Bytes counts = PayloadOf(list);
    ASSERT_EQ(counts.size(), 28u);
    EXPECT_EQ(bytes::LoadBe16(counts, 2), 0) << "no OB in the project";
    EXPECT_EQ(bytes::LoadBe16(counts, 3 * 4 + 2), 6) << "the six data blocks";
    const Bytes& original = *demo.Find({s7::kFC, 2});
    const Bytes uploaded = UploadOver(client, "0C00002");
    ASSERT_EQ(uploaded.size(), original.size());
    EXPECT_EQ(Bytes(s7::CodePart(uploaded).begin(), s7::CodePart(uploaded).end()),
              Bytes(s7::CodePart(original).begin(), s7::CodePart(original).end()));
    plc.reset();
    fs::remove_all(dir);
}

TEST(PlcsimProcess, BadOptionsAndBusyPortsEndWithAnExitStatus) {
    std::string error;
    auto bad =
        platform::Subprocess::Start(PlcsimProcess::Executable(), {"s7", "--keyswitch", "sideways"}, &error);
    ASSERT_TRUE(bad) << error;
    EXPECT_EQ(bad->Wait(std::chrono::seconds(5)), 2);
    auto injection = platform::Subprocess::Start(
        PlcsimProcess::Executable(), {"s7", "--iso-port", "0", "--fault-error", "nonsense=8104"}, &error);
    ASSERT_TRUE(injection) << error;
    EXPECT_EQ(injection->Wait(std::chrono::seconds(5)), 2);

    auto first = PlcsimProcess::Start({"s7", "--iso-port", "0"}, &error);
    ASSERT_TRUE(first) << error;
    auto second = platform::Subprocess::Start(
        PlcsimProcess::Executable(), {"s7", "--iso-port", std::to_string(*first->IsoPort())}, &error);
    ASSERT_TRUE(second) << error;
    EXPECT_EQ(second->Wait(std::chrono::seconds(5)), 1) << "the port is taken";
}

}  // namespace
}  // namespace vaultra::sim::test
