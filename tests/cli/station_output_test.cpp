// What an operator and a script see from the station against plcsim: result lines that name the entry
// and the reason of a failure, the output levels, and the set file followed by `run`.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstdlib>

#include "platform/files.h"
#include "station_fixture.h"

namespace vaultra::cli {
namespace {

using testing::CliRun;

class Station : public testing::StationTest {};

TEST_F(Station, FailuresNameTheEntryAndTheReasonWithThePlcErrorWord) {
    struct Case {
        std::vector<std::string> plc;
        std::string address, password, expected;
    };
    const std::vector<Case> cases = {
        {{"--demo", "--fault-error", "upload=D209"},
         "127.0.0.1:2",
         "",
         "nicht lesbar (Fehler D209: Objekt nicht vorhanden)"},
        {{"--demo", "--fault-busy"},
         "127.0.0.1:2",
         "",
         "(Fehler 8404: Steuerung besch\xC3\xA4"
         "ftigt)"},
        {{"--demo", "--password", "geheim"},
         "127.0.0.1:2",
         "falsch",
         "Passwort nicht angenommen (Fehler D602: Passwort falsch)"},
        {{"--demo", "--slot", "3"}, "127.0.0.1:2", "", "falscher Steckplatz oder falsche MPI-Adresse"},
    };
    for (const Case& c : cases) {
        StartSim(c.plc);
        NewSet();
        AddEntry("Presse Halle 1", c.address,
                 c.password.empty() ? std::vector<std::string>{}
                                    : std::vector<std::string>{"--password", c.password});
        const CliRun r = Cli({"backup", set});
        EXPECT_EQ(r.status, 1) << c.expected;
        const auto results = ResultLines(r);
        ASSERT_EQ(results.size(), 1u) << r.out;
        EXPECT_TRUE(results[0].starts_with("0 Presse Halle 1: fehlgeschlagen: ")) << results[0];
        EXPECT_NE(results[0].find(c.expected), std::string::npos) << results[0];
        sim.reset();
    }
}

TEST_F(Station, ACutConnectionIsToldAtOnceNotAfterTheRetriesForSilence) {
    StartSim({"--demo", "--fault-cut-after", "20"});
    NewSet();
    AddEntry("Presse Halle 1");
    const auto start = std::chrono::steady_clock::now();
    const CliRun r = Cli({"backup", set});
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    EXPECT_EQ(r.status, 1);
    const auto results = ResultLines(r);
    ASSERT_EQ(results.size(), 1u) << r.out;
    EXPECT_TRUE(results[0].starts_with("0 Presse Halle 1: fehlgeschlagen: ")) << results[0];
    EXPECT_NE(results[0].find("Verbindung von der Steuerung getrennt"), std::string::npos) << results[0];
    // The station waits 4.5 s for an answer, four times over for a silent PLC.
    EXPECT_LT(seconds, 4.0);
}

TEST_F(Station, OutputLevels) {
    StartSim({"--demo"});
    NewSet();
    AddEntry("Presse Halle 1");
    AddEntry("Presse Halle 2");

    const CliRun normal = Cli({"backup", set});
    EXPECT_EQ(normal.status, 0) << normal.err;
    const auto results = ResultLines(normal);
    ASSERT_EQ(results.size(), 2u) << normal.out;
    EXPECT_TRUE(results[0].starts_with("0 Presse Halle 1: gesichert, ")) << results[0];
    EXPECT_NE(results[0].find(" Bausteine, "), std::string::npos) << results[0];
    EXPECT_NE(results[0].find(" s \xE2\x86\x92 "), std::string::npos) << results[0];
    EXPECT_TRUE(results[0].ends_with("/backups/P/P.S7P")) << results[0];
    EXPECT_TRUE(normal.OutHas("] Presse Halle 1: AG gesichert."))
        << normal.out;                                      // phase lines name the entry
    EXPECT_FALSE(normal.OutHas(" lesen\n")) << normal.out;  // no per-block lines

    const CliRun verbose = Cli({"-v", "backup", set, "0"});
    EXPECT_TRUE(verbose.OutHas("] Presse Halle 1: OB  00001 lesen\n")) << verbose.out;

    const CliRun quiet = Cli({"backup", set, "Presse Halle 2", "-q"});
    EXPECT_EQ(quiet.status, 0);
    ASSERT_EQ(quiet.lines.size(), 1u) << quiet.out;
    EXPECT_TRUE(quiet.lines[0].starts_with("1 Presse Halle 2: gesichert, ")) << quiet.out;

    const CliRun json = Cli({"backup", set, "--json"});
    ASSERT_EQ(json.lines.size(), 2u) << json.out;
    for (std::size_t i = 0; i < 2; ++i) {
        const auto j = nlohmann::json::parse(json.lines[i]);
        EXPECT_EQ(j["index"], i);
        EXPECT_EQ(j["result"], "ok");
        EXPECT_GT(j["blocks"].get<int>(), 0);
        EXPECT_GT(j["bytes"].get<int>(), 0);
        EXPECT_TRUE(j["path"].get<std::string>().ends_with("/backups/P/P.S7P"));
    }
    sim.reset();
    const CliRun failed = Cli({"backup", set, "1", "--json"});
    ASSERT_EQ(failed.lines.size(), 1u) << failed.out;
    const auto j = nlohmann::json::parse(failed.lines[0]);
    EXPECT_EQ(j["result"], "failed");
    EXPECT_EQ(j["name"], "Presse Halle 2");
    EXPECT_FALSE(j["error"].get<std::string>().empty());
}

// `run` with a PLC trigger entry, interrupted once the first run the PLC asked for is reported (or after
// 20 s, when it never is).
class TriggeredRun : public testing::StationTest {
protected:
    void TriggerEntry() {
        NewSet();
        AddEntry("Presse Halle 1", "127.0.0.1:2",
                 {"--interval", "trigger", "--trigger-interval", "0:0:1", "--backup-bit", "M10.0",
                  "--restore-bit", "DB5.DBX2.1", "--name-operand", "DB5.DBB4"});
    }
    // Until a result line, or a line with `until` when given.
    CliRun RunUntilReported(const std::vector<std::string>& level, const std::string& until = {}) {
        std::vector<std::string> args{"run", set};
        args.insert(args.end(), level.begin(), level.end());
        const auto start = std::chrono::steady_clock::now();
        bool stopped = false;
        reported = false;
        const CliRun r = Cli(args, [&](platform::Subprocess& child, const std::string& line) {
            reported = reported || (until.empty() ? line.starts_with("0 ") || line.starts_with("{")
                                                  : line.find(until) != std::string::npos);
            if (!stopped &&
                (reported || std::chrono::steady_clock::now() - start > std::chrono::seconds(20))) {
                stopped = child.Signal(platform::ProcessSignal::Interrupt);
            }
        });
        EXPECT_TRUE(reported) << r.out << r.err;
        EXPECT_EQ(r.status, 0);
        return r;
    }
    bool reported = false;
};

TEST_F(TriggeredRun, ABackupThePlcAskedForReportsLikeAScheduledOneInEachOutputLevel) {
    const std::vector<std::string> plc{"--demo", "--set-string", "DB5.DBB4=A12", "--set", "M10.0=1"};
    StartSim(plc);
    TriggerEntry();
    const std::string path = (dir.path() / "backups/P_A12/P_A12.S7P").string();

    const CliRun normal = RunUntilReported({});
    const auto results = ResultLines(normal);
    ASSERT_EQ(results.size(), 1u) << normal.out;
    EXPECT_TRUE(results[0].starts_with("0 Presse Halle 1: gesichert, ")) << results[0];
    EXPECT_TRUE(results[0].ends_with(" s \xE2\x86\x92 " + path)) << results[0];
    EXPECT_TRUE(normal.OutHas("] Presse Halle 1: AG gesichert.")) << normal.out;
    EXPECT_FALSE(normal.OutHas(" lesen\n")) << normal.out;
    // The same blocks and bytes as the operator's own backup of the entry into the same file.
    const CliRun asked = Cli({"backup", set});
    ASSERT_EQ(ResultLines(asked).size(), 1u) << asked.out;
    const std::string own = ResultLines(asked)[0];
    const auto upToDuration = [](const std::string& line) { return line.substr(0, line.rfind(", ")); };
    EXPECT_EQ(upToDuration(results[0]), upToDuration(own));

    StartSim(plc);  // the backup cleared the request bit
    const CliRun verbose = RunUntilReported({"-v"});
    EXPECT_TRUE(verbose.OutHas("] Presse Halle 1: OB  00001 lesen\n")) << verbose.out;
    EXPECT_EQ(ResultLines(verbose).size(), 1u) << verbose.out;

    StartSim(plc);
    const CliRun quiet = RunUntilReported({"-q"});
    ASSERT_EQ(quiet.lines.size(), 1u) << quiet.out;
    EXPECT_TRUE(quiet.lines[0].starts_with("0 Presse Halle 1: gesichert, ")) << quiet.out;

    StartSim(plc);
    const CliRun json = RunUntilReported({"--json"});
    ASSERT_EQ(json.lines.size(), 1u) << json.out;
    const auto j = nlohmann::json::parse(json.lines[0]);
    EXPECT_EQ(j["index"], 0);
    EXPECT_EQ(j["name"], "Presse Halle 1");
    EXPECT_EQ(j["command"], "backup");
    EXPECT_EQ(j["result"], "ok");
    EXPECT_GT(j["blocks"].get<int>(), 0);
    EXPECT_EQ(j["path"], path);
}

TEST_F(TriggeredRun, ARestoreThePlcAskedForReportsItsResultAndAFailedOneWhy) {
    StartSim({"--demo", "--set-string", "DB5.DBB4=A12", "--set", "M10.0=1"});
    TriggerEntry();
    ASSERT_TRUE(ResultLines(RunUntilReported({"-q"})).size() == 1u);
    const std::string path = (dir.path() / "backups/P_A12/P_A12.S7P").string();

    // While restore is switched off the request is answered with a status line, and nothing runs.
    StartSim({"--demo", "--set-string", "DB5.DBB4=A12", "--set", "DB5.DBX2.1=1"});
    const CliRun refused = RunUntilReported({},
                                            "es ist aber ausgeschaltet (\"Kein Zur\xC3\xBC"
                                            "ckschreiben\")");
    EXPECT_TRUE(
        refused.OutHas("] Presse Halle 1: Die Steuerung fordert ein Zur\xC3\xBC"
                       "ckschreiben an"))
        << refused.out;
    EXPECT_TRUE(ResultLines(refused).empty()) << refused.out;

    ASSERT_EQ(Cli({"config", set, "--no-write-back", "0"}).status, 0);
    StartSim({"--demo", "--set-string", "DB5.DBB4=A12", "--set", "DB5.DBX2.1=1"});
    const CliRun restored = RunUntilReported({});
    const auto results = ResultLines(restored);
    ASSERT_EQ(results.size(), 1u) << restored.out;
    EXPECT_TRUE(
        results[0].starts_with("0 Presse Halle 1: zur\xC3\xBC"
                               "ckgeschrieben, "))
        << results[0];
    EXPECT_TRUE(results[0].ends_with(" s \xE2\x86\x90 " + path)) << results[0];

    // A file suffix with no backup behind it: the restore fails, and the result line says so.
    StartSim({"--demo", "--set-string", "DB5.DBB4=B7", "--set", "DB5.DBX2.1=1"});
    const CliRun failed = RunUntilReported({"--json"});
    ASSERT_EQ(failed.lines.size(), 1u) << failed.out;
    const auto j = nlohmann::json::parse(failed.lines[0]);
    EXPECT_EQ(j["name"], "Presse Halle 1");
    EXPECT_EQ(j["command"], "restore");
    EXPECT_EQ(j["result"], "failed");
    EXPECT_FALSE(j["error"].get<std::string>().empty());
}

TEST_F(Station, RunTakesAnEditedSetAndKeepsTheOldOneWhenTheNewOneDoesNotLoad) {
    StartSim({"--demo"});
    NewSet();
    AddEntry("Alt", "127.0.0.1:2", {"--interval", "never"});
    bool edited = false, stopped = false;
    int afterBreak = 0;
    std::string goodBytes;
    const CliRun run = Cli({"run", set}, [&](platform::Subprocess& child, const std::string& line) {
        if (!edited && line.find("Station gestartet") != std::string::npos) {
            edited = true;
            // An entry due at every pass arrives while the station runs.
            AddEntry("Neu", "127.0.0.1:2", {"--interval", "every", "--every", "0:00"});
        } else if (line.starts_with("1 Neu: gesichert") && goodBytes.empty()) {
            goodBytes = platform::ReadFileBytes(set).value_or("");
            ASSERT_TRUE(platform::WriteFileReplacing(set, goodBytes.substr(0, 100)));
        } else if (line.starts_with("1 Neu: gesichert") && ++afterBreak == 2 && !stopped) {
            // A whole pass began after the file broke: the station goes on with the entry it had.
            stopped = child.Signal(platform::ProcessSignal::Interrupt);
        }
    });
    ASSERT_TRUE(edited && stopped) << run.out << run.err;
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(run.OutHas("neu geladen")) << run.out;
    EXPECT_TRUE(run.ErrHas("arbeitet mit dem bisherigen weiter")) << run.err;
    // The broken file was never written over.
    EXPECT_EQ(platform::ReadFileBytes(set).value_or(""), goodBytes.substr(0, 100));
}

}  // namespace
}  // namespace vaultra::cli
