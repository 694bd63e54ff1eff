// restore, start, stop and clear as an operator and a script call them, against plcsim s7: refusals before
// anything is sent, one result line per entry that names it, the output levels and the exit statuses.
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <span>

#include "platform/pty.h"
#include "station_fixture.h"

namespace vaultra::cli {
namespace {

using testing::CliRun;

class PlcCommands : public testing::StationTest {
protected:
    // Two entries on the same simulated PLC, both backed up to the same project.
    void TwoBackedUpEntries() {
        StartSim({"--demo"});
        NewSet();
        AddEntry("Presse Halle 1");
        AddEntry("Presse Halle 2");
        const CliRun backup = Cli({"backup", set, "-q"});
        ASSERT_EQ(backup.status, 0) << backup.out << backup.err;
    }
    void WriteBack(const char* off) { ASSERT_EQ(Cli({"config", set, "--no-write-back", off}).status, 0); }
};

TEST_F(PlcCommands, RestoreIsRefusedBeforeAnythingIsSent) {
    TwoBackedUpEntries();
    WriteBack("1");
    const CliRun switchedOff = Cli({"restore", set, "--yes"});
    EXPECT_EQ(switchedOff.status, 2);
    EXPECT_TRUE(
        switchedOff.ErrHas("(\"Kein Zur\xC3\xBC"
                           "ckschreiben\")"))
        << switchedOff.err;
    EXPECT_EQ(switchedOff.out, "");

    WriteBack("0");
    const CliRun unconfirmed = Cli({"restore", set, "0"});  // standard input is no terminal here
    EXPECT_EQ(unconfirmed.status, 2);
    EXPECT_TRUE(unconfirmed.ErrHas("--yes angeben")) << unconfirmed.err;
    EXPECT_EQ(unconfirmed.out, "");

    const CliRun unknown = Cli({"restore", set, "0", "Presse Halle 9", "--yes"});
    EXPECT_EQ(unknown.status, 2);
    EXPECT_TRUE(unknown.ErrHas("Kein Eintrag \"Presse Halle 9\"")) << unknown.err;
    EXPECT_EQ(unknown.out, "");
}

TEST_F(PlcCommands, OnATerminalTheOperatorIsAskedFirst) {
    TwoBackedUpEntries();
    WriteBack("0");
    std::string error;
    const auto terminal = platform::PseudoTerminal::Create(dir.path() / "tty", &error);
    ASSERT_TRUE(terminal) << error;
    const auto ask = [&](const std::string& answer, const std::vector<std::string>& args) {
        EXPECT_TRUE(
            terminal->WriteAll(std::span(reinterpret_cast<const uint8_t*>(answer.data()), answer.size())));
        return testing::RunCli(dir.path(), args, {}, terminal->Link());
    };
    const CliRun no = ask("n\n", {"restore", set, "0"});
    EXPECT_EQ(no.status, 0);
    EXPECT_TRUE(
        no.ErrHas("Die Programme wirklich in die AGs zur\xC3\xBC"
                  "ckschreiben? [j/N]"))
        << no.err;
    EXPECT_TRUE(no.ErrHas("Nicht best\xC3\xA4tigt")) << no.err;
    EXPECT_EQ(no.out, "");

    const CliRun yes = ask("j\n", {"-q", "stop", set, "Presse Halle 1"});
    EXPECT_EQ(yes.status, 0) << yes.err;
    EXPECT_TRUE(yes.ErrHas("Das AG wirklich stoppen? [j/N]")) << yes.err;
    ASSERT_EQ(yes.lines.size(), 1u) << yes.out;
    EXPECT_TRUE(yes.lines[0].starts_with("0 Presse Halle 1: gestoppt, ")) << yes.out;
}

TEST_F(PlcCommands, RestoreReportsEveryEntryInEachOutputLevel) {
    TwoBackedUpEntries();
    WriteBack("0");
    const CliRun normal = Cli({"restore", set, "Presse Halle 2", "0", "--yes"});
    EXPECT_EQ(normal.status, 0) << normal.out << normal.err;
    const auto results = ResultLines(normal);
    ASSERT_EQ(results.size(), 2u) << normal.out;
    EXPECT_TRUE(
        results[0].starts_with("1 Presse Halle 2: zur\xC3\xBC"
                               "ckgeschrieben, "))
        << results[0];
    EXPECT_TRUE(results[0].ends_with(" s \xE2\x86\x90 " + (dir.path() / "backups/P/P.S7P").string()))
        << results[0];
    EXPECT_TRUE(
        results[1].starts_with("0 Presse Halle 1: zur\xC3\xBC"
                               "ckgeschrieben, "))
        << results[1];
    EXPECT_TRUE(normal.OutHas("] Presse Halle 2: korrekt in AG geschrieben\n")) << normal.out;

    const CliRun quiet = Cli({"-q", "restore", set, "--yes"});
    EXPECT_EQ(quiet.status, 0);
    ASSERT_EQ(quiet.lines.size(), 2u) << quiet.out;
    EXPECT_EQ(ResultLines(quiet).size(), 2u) << quiet.out;

    const CliRun json = Cli({"restore", set, "1", "--yes", "--json"});
    ASSERT_EQ(json.lines.size(), 1u) << json.out;
    const auto j = nlohmann::json::parse(json.lines[0]);
    EXPECT_EQ(j["index"], 1);
    EXPECT_EQ(j["name"], "Presse Halle 2");
    EXPECT_EQ(j["command"], "restore");
    EXPECT_EQ(j["result"], "ok");
    EXPECT_TRUE(j["refused"].is_array());
    EXPECT_TRUE(j["path"].get<std::string>().ends_with("/backups/P/P.S7P"));
}

TEST_F(PlcCommands, RestoreFailuresSayWhyForEachEntry) {
    StartSim({"--demo"});
    NewSet();
    AddEntry("Presse Halle 1");
    AddEntry("Presse Halle 2", "127.0.0.1:2", {}, "NIE.S7P");  // never backed up
    ASSERT_EQ(Cli({"backup", set, "0", "-q"}).status, 0);
    WriteBack("0");
    StartSim({"--demo", "--fault-busy"});
    const CliRun r = Cli({"restore", set, "--yes"});
    EXPECT_EQ(r.status, 1);
    const auto results = ResultLines(r);
    ASSERT_EQ(results.size(), 2u) << r.out;
    EXPECT_TRUE(results[0].starts_with("0 Presse Halle 1: fehlgeschlagen: ")) << results[0];
    EXPECT_NE(results[0].find("Fehler 8404: Steuerung besch\xC3\xA4"
                              "ftigt"),
              std::string::npos)
        << results[0];
    EXPECT_TRUE(results[1].starts_with("1 Presse Halle 2: fehlgeschlagen: Projekt ")) << results[1];
    EXPECT_NE(results[1].find("NIE.S7P kann nicht gelesen werden"), std::string::npos) << results[1];
}

TEST_F(PlcCommands, StartStopAndClearReportEachEntry) {
    StartSim({"--demo"});
    NewSet();
    AddEntry("Presse Halle 1");
    AddEntry("Presse Halle 2");

    const CliRun unconfirmed = Cli({"stop", set, "0"});
    EXPECT_EQ(unconfirmed.status, 2);
    EXPECT_TRUE(unconfirmed.ErrHas("--yes angeben")) << unconfirmed.err;
    const CliRun none = Cli({"clear", set, "--yes"});  // no names and nothing marked
    EXPECT_EQ(none.status, 2);
    EXPECT_TRUE(none.ErrHas("Keine AG ausgew\xC3\xA4hlt!")) << none.err;

    // A running PLC is not cleared, and the clear ends there.
    const CliRun running = Cli({"clear", set, "0", "1", "--yes"});
    EXPECT_EQ(running.status, 1);
    auto results = ResultLines(running);
    ASSERT_EQ(results.size(), 2u) << running.out;
    EXPECT_TRUE(results[0].starts_with("0 Presse Halle 1: fehlgeschlagen: Das AG ist nicht im STOP-Zustand."))
        << results[0];
    EXPECT_TRUE(results[1].starts_with("1 Presse Halle 2: fehlgeschlagen: nicht ausgef\xC3\xBChrt"))
        << results[1];

    const CliRun stop = Cli({"-q", "stop", set, "Presse Halle 2", "--yes"});
    EXPECT_EQ(stop.status, 0) << stop.err;
    ASSERT_EQ(stop.lines.size(), 1u) << stop.out;
    EXPECT_TRUE(stop.lines[0].starts_with("1 Presse Halle 2: gestoppt, ")) << stop.out;

    const CliRun clear = Cli({"clear", set, "1", "--yes", "--json"});
    EXPECT_EQ(clear.status, 0) << clear.err;
    ASSERT_EQ(clear.lines.size(), 1u) << clear.out;
    const auto j = nlohmann::json::parse(clear.lines[0]);
    EXPECT_EQ(j["command"], "clear");
    EXPECT_EQ(j["result"], "ok");

    const CliRun start = Cli({"start", set, "0", "--yes"});
    EXPECT_EQ(start.status, 0) << start.err;
    EXPECT_TRUE(start.OutHas("] Presse Halle 1: AG gestartet\n")) << start.out;
    results = ResultLines(start);
    ASSERT_EQ(results.size(), 1u) << start.out;
    EXPECT_TRUE(results[0].starts_with("0 Presse Halle 1: gestartet, ")) << results[0];

    sim.reset();
    const CliRun gone = Cli({"stop", set, "0", "1", "--yes"});
    EXPECT_EQ(gone.status, 1);
    results = ResultLines(gone);
    ASSERT_EQ(results.size(), 2u) << gone.out;
    for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_NE(results[i].find("fehlgeschlagen: AG nicht ansprechbar (Schnittstelle oder Verbindung nicht "
                                  "verf\xC3\xBCgbar), "),
                  std::string::npos)
            << results[i];
    }
}

}  // namespace
}  // namespace vaultra::cli
