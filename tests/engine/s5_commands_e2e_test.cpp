// Start, stop and clear of S5 PLCs, and the trigger operands of S5 entries, through the real S5 driver
// libraries against plcsim s5 on a pseudo-terminal ("S5 Direkt") and behind the LAN adapter ("S5-LAN").
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <numeric>

#include "app/operand_access.h"
#include "app/plc_commands.h"
#include "app/recording_front_end.h"
#include "platform/clock.h"
#include "platform/subprocess.h"
#include "sim/testing/plcsim_process.h"
#include "tests/app/temp_dir.h"

namespace vaultra::app {
namespace {

namespace fs = std::filesystem;
using sim::testing::PlcsimProcess;

constexpr uint32_t kComPort = 7;
constexpr uint32_t kClearWaitMs = 3000 + 80 * 38;

struct Link {
    const char* name;
    uint16_t flag;    // 0: "S5 Direkt"
    const char* cpu;  // byte16 takes the plain start/stop, word16 the extended one
};
const Link kLinks[] = {{"direct", 0, "byte16"}, {"lan", flag::kS5Lan, "word16"}};

bool Contains(const std::vector<std::string>& texts, const std::string& part) {
    return std::any_of(texts.begin(), texts.end(),
                       [&](const std::string& t) { return t.find(part) != t.npos; });
}

class Station5 {
public:
    Station5() {
        station.settings.comPort = kComPort;
        station.ApplyComPort();
        drivers = std::make_unique<DriverBinding>(
            station, ui, std::vector<fs::path>{PlcsimProcess::Executable().parent_path()},
            CNetworkCard([] { return std::vector<NetworkAdapter>{}; }));
        drivers->s5CloseWaitMs = 0;
        commands = std::make_unique<PlcCommands>(*drivers, station, ui);
        commands->sleep = [this](uint32_t ms) { waits.push_back(ms); };
    }

    CElement Entry(const char* name, uint16_t interfaceFlag) const {
        CElement e;
        e.name = name;
        e.flags = static_cast<uint16_t>(interfaceFlag | static_cast<uint16_t>(IntervalKind::Never));
        e.address = {127, 0, 0, 1, 0, 0};
        e.fileName = std::string(name) + ".S5D";
        return e;
    }

    // plcsim s5 with the demonstration program, on the pseudo-terminal or (lan) behind the adapter.
    void StartSim(const char* cpu, bool lan, std::vector<std::string> extra = {}) {
        std::vector<std::string> args{"s5", "--demo",     "--cpu",
                                      cpu,  "--dump-dir", (dir.path() / "dump").string()};
        if (lan) {
            args.insert(args.end(), {"--lan-raw-port", "0"});
        } else {
            args.insert(args.end(), {"--as511-pty", (dir.path() / "com").string()});
        }
        args.insert(args.end(), extra.begin(), extra.end());
        std::string error;
        sim = PlcsimProcess::Start(args, &error);
        ASSERT_TRUE(sim) << error;
        if (lan) {
            setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*sim->LanRawPort()).c_str(), 1);
        } else {
            setenv(ComVariable().c_str(), sim->As511Pty()->c_str(), 1);
        }
    }
    static std::string ComVariable() { return "VAULTRA_COM" + std::to_string(kComPort); }

    // The run/stop bit of the PLC's system data, read on a connection of its own.
    bool Running(CElement& e) {
        EXPECT_NE(drivers->ConnectS5(e), 0) << std::hex << station.record.status;
        uint16_t word = 0;
        EXPECT_EQ(drivers->S5().Call<Tarn5S5RdBSWFn>(S5Slot::RdBSW, &station.record, 6, 1, &word), 1);
        drivers->CloseS5(e);
        return (word & 0x8000) == 0;
    }

    std::size_t PlcBlocks() {
        EXPECT_TRUE(sim->Dump());
        const auto files = fs::directory_iterator(dir.path() / "dump");
        return static_cast<std::size_t>(std::distance(fs::begin(files), fs::end(files)));
    }

    uint32_t Waited() const { return std::accumulate(waits.begin(), waits.end(), 0u); }

    testing::TempDir dir;
    Station station;
    RecordingFrontEnd ui;
    std::unique_ptr<DriverBinding> drivers;
    std::unique_ptr<PlcCommands> commands;
    std::vector<uint32_t> waits;
    std::unique_ptr<PlcsimProcess> sim;
};

class S5Commands : public ::testing::TestWithParam<Link> {};

TEST_P(S5Commands, StopClearAndStartReachThePlc) {
    const Link& link = GetParam();
    const bool extended = link.flag == flag::kS5Lan;
    Station5 s;
    s.StartSim(link.cpu, extended);
    CElement& e = s.station.entries.Append(s.Entry("PRESSE", link.flag));  // alone: start and stop act on it
    const auto stop = s.commands->Run(PlcCommand::Stop, false);
    ASSERT_EQ(stop.results.size(), 1u);
    EXPECT_TRUE(stop.results[0].succeeded) << std::hex << s.station.record.status;
    // The extended call shows no success text.
    EXPECT_EQ(s.ui.SawStatus("AG gestoppt"), !extended);
    EXPECT_FALSE(s.Running(e));
    EXPECT_EQ(s.station.record.connected, 0);

    EXPECT_TRUE(s.commands->Run(PlcCommand::Clear, false).noneSelected);  // clear wants a mark
    EXPECT_TRUE(Contains(s.ui.Messages(), "Keine AG ausgewählt!"));
    e.Set(flag::kMarked, true);
    s.waits.clear();
    ASSERT_TRUE(s.commands->Run(PlcCommand::Clear, false).results.at(0).succeeded);
    EXPECT_EQ(s.Waited(), kClearWaitMs);
    EXPECT_EQ(s.ui.StatusTexts().back(), "AG gelöscht");
    EXPECT_EQ(s.PlcBlocks(), 0u);

    s.waits.clear();
    const auto start = s.commands->Run(PlcCommand::Start, false);
    EXPECT_TRUE(start.results.at(0).succeeded);
    const std::vector<uint32_t> startWaits =
        extended ? std::vector<uint32_t>{500, 2000} : std::vector<uint32_t>{};
    EXPECT_EQ(s.waits, startWaits);
    EXPECT_EQ(s.ui.SawStatus("AG gestartet"), !extended);
    EXPECT_TRUE(s.Running(e));
}

INSTANTIATE_TEST_SUITE_P(Links, S5Commands, ::testing::ValuesIn(kLinks),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(S5CommandsE2E, ClearInRunShowsTheStopMessageAndEndsTheCommand) {
    Station5 s;
    s.StartSim("byte16", false);
    for (const char* name : {"PRESSE1", "PRESSE2"}) {
        s.station.entries.Append(s.Entry(name, 0)).Set(flag::kMarked, true);
    }
    s.ui.answers.push_back(MessageAnswer::Yes);
    const auto clear = s.commands->Run(PlcCommand::Clear, true);
    ASSERT_EQ(clear.results.size(), 1u);  // the second entry is not processed
    EXPECT_FALSE(clear.results[0].succeeded);
    EXPECT_TRUE(Contains(s.ui.Messages(), "Das AG ist nicht im STOP-Zustand."));
    EXPECT_EQ(s.station.record.connected, 0);
    EXPECT_EQ(s.PlcBlocks(), 24u);
}

TEST(S5CommandsE2E, UnreachablePlcIsReportedStartGoesOnAndClearEnds) {
    Station5 s;
    s.StartSim("word32", true);  // the LAN entry reaches it; the serial one finds no line
    setenv(Station5::ComVariable().c_str(), (s.dir.path() / "no-such-line").c_str(), 1);
    s.station.entries.Append(s.Entry("OHNE", 0)).Set(flag::kMarked, true);
    s.station.entries.Append(s.Entry("LAN", flag::kS5Lan)).Set(flag::kMarked, true);
    const auto start = s.commands->Run(PlcCommand::Start, false);
    ASSERT_EQ(start.results.size(), 2u);
    EXPECT_FALSE(start.results[0].succeeded);
    EXPECT_TRUE(start.results[1].succeeded);  // word32 takes the plain call
    EXPECT_TRUE(s.ui.SawStatus("AG nicht ansprechbar."));
    EXPECT_TRUE(s.ui.SawStatus("AG gestartet"));
    EXPECT_EQ(s.commands->Run(PlcCommand::Clear, false).results.size(), 1u);
    EXPECT_EQ(s.PlcBlocks(), 24u);
}

TEST(S5CommandsE2E, AnsweringNoDoesNothing) {
    Station5 s;
    s.station.entries.Append(s.Entry("PRESSE", 0));
    s.ui.answers.push_back(MessageAnswer::No);
    const auto outcome = s.commands->Run(PlcCommand::Stop, true);
    EXPECT_FALSE(outcome.confirmed);
    EXPECT_TRUE(outcome.results.empty());
    EXPECT_TRUE(s.ui.StatusTexts().empty());
}

// The request bits and the name string of a triggered S5 entry, on both address classes.
class S5Operands : public ::testing::TestWithParam<const char*> {};

TEST_P(S5Operands, BitsAndStringUseTheWordsOfTheirBytes) {
    Station5 s;
    s.StartSim(GetParam(), true);
    CElement e = s.Entry("PRESSE", flag::kS5Lan);
    ASSERT_NE(s.drivers->ConnectS5(e), 0);
    ConnectionRecord& record = s.station.record;
    const S5Table& t = s.drivers->S5();
    const OperandWords words = S5OperandWords(t, record);
    // M10.3: word 5 of the flags, bit 11 (byte 10 is even); E11.0: word 5 of the inputs, bit 0.
    ASSERT_EQ(WriteOperandBit(words, "M10.3", 1), 1);
    ASSERT_EQ(WriteOperandBit(words, "E11.0", 1), 1);
    uint16_t word = 0;
    ASSERT_EQ(t.Call<Tarn5S5RdMWFn>(S5Slot::RdMW, &record, 5, 1, &word), 1);
    EXPECT_EQ(word, 0x0800);
    ASSERT_EQ(t.Call<Tarn5S5RdEWFn>(S5Slot::RdEW, &record, 5, 1, &word), 1);
    EXPECT_EQ(word, 0x0001);
    int value = 0;
    ASSERT_EQ(ReadOperandBit(words, "M10.3", value), 1);
    EXPECT_EQ(value, 1);
    ASSERT_EQ(WriteOperandBit(words, "M10.3", 0), 1);
    ASSERT_EQ(ReadOperandBit(words, "M10.3", value), 1);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(ReadOperandBit(words, "X1.0", value), 0);

    // A data block of 10 data words: DB100.DBX3.7 is bit 7 of DW1; the string "A12" has its header at byte 4.
    std::vector<uint8_t> body(20, 0);
    S5BlockRecord block{{0x70, 0x70}, 0x01, 100, {0, 0, 0, 0}, 15, body.data()};
    ASSERT_EQ(t.CreateBst(&record, &block), 1) << std::hex << record.status;
    ASSERT_EQ(WriteOperandBit(words, "DB100.DBX3.7", 1), 1);
    ASSERT_EQ(t.Call<Tarn5S5RdDBFn>(S5Slot::RdDB, &record, 100, 1, 1, &word), 1);
    EXPECT_EQ(word, 0x0080);
    const uint16_t text[3] = {0x0A03, 0x4131, 0x3200};  // bytes 4..9: max 10, length 3, "A12"
    ASSERT_EQ(t.Call<Tarn5S5WrDBFn>(S5Slot::WrDB, &record, 100, 2, 3, const_cast<uint16_t*>(text)), 1);
    std::string name;
    ASSERT_EQ(ReadS7String(words, "DB100.DBB4", name), 1);
    EXPECT_EQ(name, "A12");
    s.drivers->CloseS5(e);
}

INSTANTIATE_TEST_SUITE_P(Classes, S5Operands, ::testing::Values("byte16", "word16", "d10a"));

// vaultra-cli as a user calls it for an "S5 Direkt" entry, with the documented waits.
struct CliResult {
    int status = -1;
    std::vector<std::string> lines;
};

CliResult Cli(const std::vector<std::string>& args) {
    using namespace std::chrono_literals;
    std::string error;
    auto child =
        platform::Subprocess::Start(PlcsimProcess::Executable().parent_path() / "vaultra-cli", args, &error);
    EXPECT_TRUE(child) << error;
    CliResult result;
    if (!child) {
        return result;
    }
    while (auto line = child->ReadLine(30s)) {
        result.lines.push_back(*line);
    }
    result.status = child->Wait(10s).value_or(-1);
    return result;
}

// Each command closes its S5 connection with the 5-second quiet time: clear and start only (stop takes the
// same way through the front end).
TEST(S5CommandsCli, ClearAndStartAnS5DirektEntry) {
    Station5 s;
    setenv("XDG_CONFIG_HOME", (s.dir.path() / "config").c_str(), 1);
    s.StartSim("byte16", false, {"--stopped"});
    const std::string set = (s.dir.path() / "station.ini").string();
    ASSERT_EQ(Cli({"new", set}).status, 0);
    ASSERT_EQ(Cli({"config", set, "--com", std::to_string(kComPort)}).status, 0);
    ASSERT_EQ(Cli({"add", set, "--name", "PRESSE", "--interface", "S5 Direkt", "--file", "PRESSE.S5D",
                   "--interval", "never"})
                  .status,
              0);
    // A successful clear gives the PLC at least 6 seconds.
    const auto before = platform::MonotonicMs();
    const CliResult clear = Cli({"clear", set, "PRESSE", "--yes"});
    EXPECT_GE(platform::MonotonicMs() - before, kClearWaitMs);
    EXPECT_EQ(clear.status, 0);
    EXPECT_TRUE(Contains(clear.lines, "AG gelöscht"));
    EXPECT_TRUE(Contains(clear.lines, "0 PRESSE: gelöscht"));
    EXPECT_EQ(s.PlcBlocks(), 0u);
    const CliResult start = Cli({"start", set, "0", "--yes"});
    EXPECT_EQ(start.status, 0);
    EXPECT_TRUE(Contains(start.lines, "AG gestartet"));
    EXPECT_TRUE(Contains(start.lines, "0 PRESSE: gestartet"));
    EXPECT_TRUE(s.Running(s.station.entries.Append(s.Entry("PRESSE", 0))));
}

}  // namespace
}  // namespace vaultra::app
