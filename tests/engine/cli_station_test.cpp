// vaultra-cli run and backup as a user calls them, against plcsim over ISO-on-TCP.
#include <gtest/gtest.h>

#include <cctype>
#include <cstdlib>
#include <tuple>

#include "platform/subprocess.h"
#include "sim/testing/plcsim_process.h"
#include "tests/app/iso_plcsim.h"
#include "tests/app/temp_dir.h"

namespace vaultra::cli {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using sim::testing::PlcsimProcess;

// "[YYYY-MM-DD HH:MM:SS] " at the start of a line.
bool HasTimeStamp(const std::string& line) {
    const std::string shape = "[dddd-dd-dd dd:dd:dd] ";
    if (line.size() <= shape.size()) {
        return false;
    }
    for (std::size_t i = 0; i < shape.size(); ++i) {
        const bool ok =
            shape[i] == 'd' ? std::isdigit(static_cast<unsigned char>(line[i])) != 0 : line[i] == shape[i];
        if (!ok) {
            return false;
        }
    }
    return true;
}

// The text shown just before a block is uploaded ("NAME: OB  00001 lesen").
bool IsUploadText(const std::string& line) {
    return line.find("PRESSE1: ") != std::string::npos && line.ends_with(" lesen") &&
           !line.ends_with("nachher lesen") && !line.ends_with("Buchhalter lesen");
}

struct Result {
    int status = -1;
    std::vector<std::string> lines;
};

class CliStation : public ::testing::Test {
protected:
    CliStation() {
        // The settings store of the user stays untouched.
        setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
        set = (dir.path() / "station.ini").string();
        EXPECT_EQ(Cli({"new", set}).status, 0);
        EXPECT_EQ(Cli({"config", set, "--dir", (dir.path() / "backups").string() + "/"}).status, 0);
        fs::create_directories(dir.path() / "backups");
    }

    void StartSim(const std::vector<std::string>& options) {
        std::string error;
        sim = vaultra::testing::StartIsoPlcsim(options, &error);
        ASSERT_TRUE(sim) << error;
    }

    void AddEntry(const std::string& name, std::vector<std::string> schedule = {"--interval", "never"}) {
        std::vector<std::string> args{"add",        set,         "--name",      name,     "--interface",
                                      "S7-RFC1006", "--address", "127.0.0.1:2", "--file", name + ".S7P"};
        args.insert(args.end(), schedule.begin(), schedule.end());
        ASSERT_EQ(Cli(args).status, 0);
    }

    static fs::path Exe() { return PlcsimProcess::Executable().parent_path() / "vaultra-cli"; }

    // Runs vaultra-cli to its end; onLine may signal it while it runs.
    Result Cli(const std::vector<std::string>& args,
               const std::function<void(platform::Subprocess&, const std::string&)>& onLine = {}) {
        std::string error;
        auto child = platform::Subprocess::Start(Exe(), args, &error);
        EXPECT_TRUE(child) << error;
        Result result;
        if (!child) {
            return result;
        }
        while (auto line = child->ReadLine(20s)) {
            result.lines.push_back(*line);
            if (onLine) {
                onLine(*child, *line);
            }
        }
        result.status = child->Wait(10s).value_or(-1);
        return result;
    }

    static bool Has(const Result& r, const std::string& text) {
        return std::any_of(r.lines.begin(), r.lines.end(),
                           [&](const std::string& l) { return l.ends_with(text); });
    }

    testing::TempDir dir;
    std::string set;
    std::unique_ptr<PlcsimProcess> sim;
};

TEST_F(CliStation, BackupPrintsTimeStampedTextsAndExitsWithTheOutcome) {
    StartSim({"--demo"});
    AddEntry("PRESSE1");
    AddEntry("PRESSE2");

    const Result ok = Cli({"backup", set, "PRESSE2"});
    EXPECT_EQ(ok.status, 0);
    ASSERT_FALSE(ok.lines.empty());
    EXPECT_TRUE(HasTimeStamp(ok.lines.front())) << ok.lines.front();
    EXPECT_TRUE(Has(ok, "] PRESSE2: AG gesichert."));
    EXPECT_TRUE(ok.lines.back().starts_with("1 PRESSE2: gesichert, ")) << ok.lines.back();
    EXPECT_TRUE(fs::exists(dir.path() / "backups" / "PRESSE2" / "PRESSE2.S7P"));
    EXPECT_FALSE(fs::exists(dir.path() / "backups" / "PRESSE1"));

    EXPECT_EQ(Cli({"backup", set, "PRESSE3"}).status, 2);
    EXPECT_EQ(Cli({"backup", set, "7"}).status, 2);
    EXPECT_EQ(Cli({"backup", (dir.path() / "missing.ini").string()}).status, 2);

    sim.reset();
    const Result failed = Cli({"backup", set});
    EXPECT_EQ(failed.status, 1);
    EXPECT_TRUE(failed.lines.back().starts_with("1 PRESSE2: fehlgeschlagen: ")) << failed.lines.back();
}

TEST_F(CliStation, SignalDuringARunAbortsItAndEndsTheStation) {
    StartSim({"--demo-blocks", "600"});
    AddEntry("PRESSE1", {"--interval", "every", "--every", "0:00"});  // due at every pass
    bool signalled = false;
    const Result run = Cli({"-v", "run", set}, [&](platform::Subprocess& child, const std::string& line) {
        if (!signalled && IsUploadText(line)) {
            signalled = child.Signal(platform::ProcessSignal::Interrupt);
        }
    });
    ASSERT_TRUE(signalled);
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(Has(run, "] PRESSE1: Abbruch"));
    EXPECT_FALSE(Has(run, "AG gesichert."));
    EXPECT_TRUE(Has(run, "] Station beendet."));

    // The connection was released: the PLC serves the next backup.
    EXPECT_EQ(Cli({"backup", set}).status, 0);
}

TEST_F(CliStation, SerialEntryAfterNetworkEntriesConnectsOnTheConfiguredComPort) {
    // One simulated PLC on all three transports; the serial adapter sits on COM7.
    std::string error;
    sim = PlcsimProcess::Start({"s7", "--demo-blocks", "8", "--iso-port", "0", "--lan-framed-port", "0",
                                "--mpi-pty", (dir.path() / "mpi").string()},
                               &error);
    ASSERT_TRUE(sim) << error;
    setenv("VAULTRA_ISO_TCP_PORT", std::to_string(*sim->IsoPort()).c_str(), 1);
    setenv("VAULTRA_LAN_FRAMED_PORT", std::to_string(*sim->LanFramedPort()).c_str(), 1);
    setenv("VAULTRA_COM7", sim->MpiPty()->c_str(), 1);
    ASSERT_EQ(Cli({"config", set, "--com", "7"}).status, 0);
    AddEntry("ISO");
    for (const auto& [name, interface, address] :
         {std::tuple{"LAN", "S7-LAN", "127.0.0.1:002:2"}, std::tuple{"MPI", "S7 MPI-Bus", "002:2"}}) {
        ASSERT_EQ(Cli({"add", set, "--name", name, "--interface", interface, "--address", address, "--file",
                       std::string(name) + ".S7P", "--interval", "never"})
                      .status,
                  0);
    }

    const Result all = Cli({"backup", set});
    EXPECT_FALSE(Has(all, ": AG nicht ansprechbar."));
    EXPECT_EQ(all.status, 0);
    int index = 0;
    for (const char* name : {"ISO", "LAN", "MPI"}) {
        const std::string result = std::to_string(index++) + " " + name + ": gesichert, ";
        EXPECT_TRUE(std::any_of(all.lines.begin(), all.lines.end(), [&](const std::string& l) {
            return l.starts_with(result);
        })) << name;
        EXPECT_TRUE(fs::exists(dir.path() / "backups" / name / (std::string(name) + ".S7P"))) << name;
    }
}

TEST_F(CliStation, S5EntryIsBackedUpIntoAProgramFileRestoredAndASignalEndsTheQuietTime) {
    std::string error;
    sim = PlcsimProcess::Start({"s5", "--demo", "--lan-raw-port", "0"}, &error);
    ASSERT_TRUE(sim) << error;
    setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*sim->LanRawPort()).c_str(), 1);
    ASSERT_EQ(Cli({"add", set, "--name", "PRESSE5", "--interface", "S5-LAN", "--address", "127.0.0.1",
                   "--file", "PRESSE5.QRF", "--interval", "every", "--every", "0:00"})
                  .status,
              0);
    const fs::path file = dir.path() / "backups" / "PRESSE5.QRF";

    const Result backup = Cli({"backup", set});
    EXPECT_EQ(backup.status, 0);
    ASSERT_FALSE(backup.lines.empty());
    EXPECT_TRUE(backup.lines.back().starts_with("0 PRESSE5: gesichert, ")) << backup.lines.back();
    EXPECT_TRUE(backup.lines.back().ends_with(file.string())) << backup.lines.back();
    EXPECT_EQ(Cli({"inspect", file.string()}).status, 0);

    // SIGINT during a run (the backup aborted, or already in the quiet time after the close) ends the
    // station without waiting out the quiet time.
    std::chrono::steady_clock::time_point signalledAt;
    bool signalled = false;
    const Result run = Cli({"run", set}, [&](platform::Subprocess& child, const std::string& line) {
        if (!signalled && line.ends_with("] PRESSE5: AG initialisieren...")) {
            signalledAt = std::chrono::steady_clock::now();
            signalled = child.Signal(platform::ProcessSignal::Interrupt);
        }
    });
    ASSERT_TRUE(signalled);
    EXPECT_EQ(run.status, 0);
    EXPECT_LT(std::chrono::steady_clock::now() - signalledAt, 4s);

    // Restore into a cleared PLC.
    sim.reset();
    sim = PlcsimProcess::Start({"s5", "--lan-raw-port", "0"}, &error);
    ASSERT_TRUE(sim) << error;
    setenv("VAULTRA_LAN_RAW_PORT", std::to_string(*sim->LanRawPort()).c_str(), 1);
    ASSERT_EQ(Cli({"config", set, "--no-write-back", "0"}).status, 0);
    const Result restore = Cli({"restore", set, "0", "--yes"});
    EXPECT_EQ(restore.status, 0);
    EXPECT_TRUE(Has(restore, "] PRESSE5: korrekt in AG geschrieben")) << ::testing::PrintToString(restore.lines);
}

}  // namespace
}  // namespace vaultra::cli
