// A protocol analyser reads a live capture of the station's ISO-on-TCP library backing up plcsim: both
// directions must decode as TPKT, COTP and S7 without a malformed packet or a warning. The capture runs
// on the loopback interface, filtered to the simulator's port, and needs the right to capture (root
// in CI); without it, or without tshark, the test is skipped with the reason.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/subprocess.h"
#include "sim/testing/plcsim_process.h"
#include "tests/drivers/s7/c_backup.h"

namespace vaultra::s7 {
namespace {

namespace fs = std::filesystem;
using platform::Subprocess;
using sim::testing::PlcsimProcess;
using namespace std::chrono_literals;

constexpr char kAnalyser[] = "/usr/bin/tshark";

// Runs tshark to the end and returns its output lines.
std::vector<std::string> Analyse(const std::vector<std::string>& args) {
    std::string error;
    auto analyser = Subprocess::Start(kAnalyser, args, &error);
    EXPECT_TRUE(analyser) << error;
    std::vector<std::string> lines;
    if (!analyser)
        return lines;
    while (auto line = analyser->ReadLine(30s))
        lines.push_back(*line);
    EXPECT_EQ(analyser->Wait(10s), 0);
    return lines;
}

// A live capture on the loopback interface into a pcap file, stopped when the object goes.
class LiveCapture {
public:
    LiveCapture(uint16_t port, fs::path file) : file_(std::move(file)) {
        fs::remove(file_);
        std::string error;
        child_ = Subprocess::Start(kAnalyser,
                                   {"-i", "lo", "-f", "tcp port " + std::to_string(port), "-F", "pcap", "-w",
                                    file_.string(), "-P", "-l"},
                                   &error);
        why_ = error;
    }
    // Waits until the capture file has its header: the filter is then in place.
    bool WaitStarted() {
        for (int i = 0; i < 200 && child_ && child_->Running(); ++i) {
            std::error_code ec;
            if (fs::exists(file_, ec) && fs::file_size(file_, ec) >= 24)
                return true;
            child_->Wait(50ms);
        }
        if (why_.empty())
            why_ = "tshark could not capture on lo (no capture rights?)";
        return false;
    }
    // Waits until the end of the TCP connection has been captured (tshark prints a summary line per
    // packet in order, so everything before it is in the file), then ends the capture.
    bool StopAfterClose() {
        bool closed = false;
        while (!closed) {
            const auto line = child_ ? child_->ReadLine(20s) : std::nullopt;
            if (!line)
                break;
            closed = line->find("FIN") != std::string::npos || line->find("RST") != std::string::npos;
        }
        const bool stopped =
            child_ && child_->Signal(platform::ProcessSignal::Interrupt) && child_->Wait(20s);
        return closed && stopped;
    }
    const std::string& Why() const { return why_; }

private:
    fs::path file_;
    std::unique_ptr<Subprocess> child_;
    std::string why_;
};

TEST(ProtocolAnalyser, LiveStationSessionDecodesCleanlyInBothDirections) {
    if (!fs::exists(kAnalyser))
        GTEST_SKIP() << "tshark is not installed";
    const fs::path dir = fs::temp_directory_path() / ("vaultra_s7_capture_" + std::to_string(getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir / "backup");
    std::string error;
    auto plc = PlcsimProcess::Start({"s7", "--demo-blocks", "120", "--iso-port", "0"}, &error);
    ASSERT_TRUE(plc) << error;
    const uint16_t port = *plc->IsoPort();
    setenv("VAULTRA_ISO_TCP_PORT", std::to_string(port).c_str(), 1);

    const fs::path file = dir / "session.pcap";
    LiveCapture capture(port, file);
    if (!capture.WaitStarted())
        GTEST_SKIP() << capture.Why();

    const std::string library = (PlcsimProcess::Executable().parent_path() / "libTARN7RFC.so").string();
    CBackupJob job{};
    job.libraryPath = library.c_str();
    job.s5Names = 1;
    job.lanAddress = "127.0.0.1";
    job.lanKind = 3;
    job.plcAddress = 0;
    job.rackSlot = 2;
    const std::string out = (dir / "backup").string();
    job.outDir = out.c_str();
    ASSERT_EQ(CBackupRun(&job), 1) << job.message;
    ASSERT_TRUE(capture.StopAfterClose()) << "the end of the connection was not captured";

    const std::string decodeAs = "tcp.port==" + std::to_string(port) + ",tpkt";
    const auto complaints =
        Analyse({"-n", "-r", file.string(), "-d", decodeAs, "-Y",
                 "_ws.malformed || (_ws.expert.severity >= warning && !tcp.connection.rst)"});
    std::string all;
    for (const std::string& line : complaints)
        all += "\n" + line;
    EXPECT_TRUE(complaints.empty()) << all;

    // Both directions were captured and understood as S7: jobs and user data from the station,
    // acknowledgements and user data from the PLC.
    std::map<std::string, int> seen;
    for (const std::string& line : Analyse({"-n", "-r", file.string(), "-d", decodeAs, "-Y", "s7comm", "-T",
                                            "fields", "-e", "tcp.srcport", "-e", "s7comm.header.rosctr"})) {
        const auto tab = line.find('\t');
        const bool fromPlc = tab != std::string::npos && line.substr(0, tab) == std::to_string(port);
        ++seen[(fromPlc ? "plc:" : "station:") + (tab == std::string::npos ? line : line.substr(tab + 1))];
    }
    EXPECT_GT(seen["station:1"], 120) << "setup and upload jobs";
    EXPECT_GT(seen["station:7"], 7) << "directory requests";
    EXPECT_EQ(seen["plc:3"], seen["station:1"]) << "every job acknowledged with data";
    EXPECT_EQ(seen["plc:7"], seen["station:7"]);
    EXPECT_GE(job.blocks, 120);
    if (!HasFailure())
        fs::remove_all(dir);
}

}  // namespace
}  // namespace vaultra::s7
