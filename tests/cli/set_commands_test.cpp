#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <sstream>
#include <vector>

#include "app/backup_set_file.h"
#include "berlin_time.h"
#include "cli/cli.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace vaultra::cli {
namespace {

const int64_t kNow = 1781000000;

class SetCommands : public ::testing::Test {
protected:
    void SetUp() override { testing::UseBerlinTime(); }

    // Runs one vaultra-cli command line in this process.
    int Run(std::vector<std::string> args) {
        out_.str("");
        err_.str("");
        Cli cli(out_, err_);
        cli.context().now = [] { return kNow; };
        cli.context().settingsStorePath = dir_ / "cfg" / "Vaultra Station.conf";
        cli.context().programDirectory = "/opt/vaultra";
        RegisterSetCommands(cli);
        RegisterInspectCommand(cli);
        args.insert(args.begin(), "vaultra-cli");
        std::vector<const char*> argv;
        for (const auto& a : args) {
            argv.push_back(a.c_str());
        }
        return cli.Run(static_cast<int>(argv.size()), argv.data());
    }
    std::string Set() const { return (dir_ / "set.ini").string(); }
    std::string Bytes() const { return platform::ReadFileBytes(Set()).value_or("<missing>"); }
    app::Station Load() const {
        app::Station s;
        EXPECT_TRUE(app::LoadBackupSet(s, Set(), kNow).has_value());
        return s;
    }
    void AddThree() {
        ASSERT_EQ(Run({"new", Set()}), 0);
        ASSERT_EQ(Run({"add", Set(), "--name", "A", "--interface", "S7 MPI-Bus", "--address", "2"}), 0)
            << err_.str();
        ASSERT_EQ(Run({"add", Set(), "--name", "B", "--interface", "S5-LAN", "--address", "10.0.0.5"}), 0);
        ASSERT_EQ(Run({"add", Set(), "--name", "C"}), 0);
    }

    testing::TempDir dir_;
    std::ostringstream out_, err_;
};

TEST_F(SetCommands, NewWritesDefaultSettingsAndRefusesToOverwrite) {
    ASSERT_EQ(Run({"new", Set()}), 0);
    EXPECT_EQ(Bytes().substr(0, 7), "56833\n\r");
    const app::Station s = Load();
    EXPECT_EQ(s.settings.retryMinutes, 10u);
    EXPECT_EQ(s.settings.skipSystemBlocks, 1u);
    EXPECT_EQ(s.settings.noWriteBack, 1u);
    EXPECT_TRUE(s.entries.empty());

    ASSERT_EQ(Run({"add", Set(), "--name", "X"}), 0);
    const std::string before = Bytes();
    EXPECT_EQ(Run({"new", Set()}), 2);
    EXPECT_NE(err_.str().find("--force"), std::string::npos);
    EXPECT_EQ(Bytes(), before);
    EXPECT_EQ(Run({"new", Set(), "--force"}), 0);
    EXPECT_TRUE(Load().entries.empty());
}

TEST_F(SetCommands, AddNormalisesLikeTheDialogAndReloadsByteIdentical) {
    ASSERT_EQ(Run({"new", Set()}), 0);
    ASSERT_EQ(Run({"add",          Set(),     "--name",    "Presse 1",
                   "--interface",  "S7-LAN",  "--address", "192.168.0.10:2:1",
                   "--password",   "geheim",  "--file",    "C:\\daten\\anlage1.txt",
                   "--interval",   "monthly", "--day",     "31",
                   "--at",         "06:00",   "--blocks",  "db1 fb 22",
                   "--only-listed"}),
              0)
        << err_.str();
    const std::string written = Bytes();
    app::Station s = Load();
    ASSERT_EQ(s.entries.size(), 1u);
    const app::CElement& e = s.entries[0];
    EXPECT_EQ(e.fileName, "anlage1.S7P");
    EXPECT_EQ(e.blockList, "DB 001,FB 022");
    EXPECT_EQ(e.address, (std::array<uint8_t, 6>{192, 168, 0, 10, 2, 1}));
    EXPECT_EQ(e.flags, app::flag::kS7Lan | app::flag::kOnlyListed | 3);
    EXPECT_EQ(e.day, 31);
    ASSERT_TRUE(app::SaveBackupSet(s, Set()));
    EXPECT_EQ(Bytes(), written);
}

TEST_F(SetCommands, ShowJsonCarriesEveryField) {
    ASSERT_EQ(Run({"new", Set()}), 0);
    ASSERT_EQ(Run({"config", Set(), "--com", "4", "--dir", "/srv/b/", "--retry", "7", "--stop-plc", "1",
                   "--skip-system-blocks", "0", "--no-write-back", "0", "--adapter", "eth1"}),
              0)
        << err_.str();
    ASSERT_EQ(Run({"add",
                   Set(),
                   "--name",
                   "T",
                   "--interface",
                   "S7-RFC1006",
                   "--address",
                   "10.1.2.3:2",
                   "--password",
                   "pw",
                   "--interval",
                   "trigger",
                   "--trigger-interval",
                   "0:1:30",
                   "--backup-bit",
                   "m10.3",
                   "--restore-bit",
                   "db5.dbx3.7",
                   "--name-operand",
                   "p#db10.dbx4.0",
                   "--blocks",
                   "ob"}),
              0)
        << err_.str();
    ASSERT_EQ(Run({"show", Set(), "--json"}), 0);
    const auto doc = nlohmann::json::parse(out_.str());
    const auto& st = doc["station"];
    EXPECT_EQ(st["comPort"], 4);
    EXPECT_EQ(st["backupDirectory"], "/srv/b/");
    EXPECT_EQ(st["retryMinutes"], 7);
    EXPECT_EQ(st["stopPlc"], 1);
    EXPECT_EQ(st["skipSystemBlocks"], 0);
    EXPECT_EQ(st["noWriteBack"], 0);
    EXPECT_EQ(st["adapterName"], "eth1");
    ASSERT_EQ(doc["entries"].size(), 1u);
    const auto& j = doc["entries"][0];
    const app::Station s = Load();
    const app::CElement& e = s.entries[0];
    EXPECT_EQ(j["name"], e.name);
    EXPECT_EQ(j["address"], "0A0102030200");
    EXPECT_EQ(j["password"], "********");  // masked unless asked for
    EXPECT_EQ(j["index"], 0);
    EXPECT_EQ(j["flags"], e.flags);
    EXPECT_EQ(j["day"], 255);
    EXPECT_EQ(j["hour"], 255);
    EXPECT_EQ(j["minute"], 255);
    EXPECT_EQ(j["fileName"], ".S7P");
    EXPECT_EQ(j["blockList"], "OB");
    EXPECT_EQ(j["nextBackup"], kNow + 90);
    EXPECT_EQ(j["triggerInterval"], 90);
    EXPECT_EQ(j["backupBit"], "M10.3");
    EXPECT_EQ(j["restoreBit"], "DB5.DBX3.7");
    EXPECT_EQ(j["nameOperand"], "DB10.DBB4");
    EXPECT_EQ(j["interface"], "S7-RFC1006");
    EXPECT_EQ(j["intervalKind"], "PlcTrigger");
    ASSERT_EQ(Run({"show", Set(), "--json", "--show-passwords"}), 0);
    EXPECT_EQ(nlohmann::json::parse(out_.str())["entries"][0]["password"], "pw");
}

TEST_F(SetCommands, ShowPrintsTheIndexWholeNamesAndMaskedPasswords) {
    AddThree();
    const std::string name40 = "Presse Halle 1 Linie 2 Station 3 Ende 40";
    ASSERT_EQ(Run({"change", Set(), "A", "--name", name40, "--password", "geheim"}), 0) << err_.str();
    ASSERT_EQ(Run({"show", Set()}), 0);
    const std::string text = out_.str();
    EXPECT_NE(text.find("Wiederholungsversuch alle 10 min\n"), std::string::npos);
    EXPECT_NE(text.find("\nNr\tName\tAdresse\tPasswort\tIntervall\tn\xC3\xA4"
                        "chster Backup\tDateiname\n"),
              std::string::npos);
    EXPECT_NE(text.find("\n0\t" + name40 + "\tMPI: 002"), std::string::npos) << text;
    EXPECT_NE(text.find("\t********\t"), std::string::npos) << text;
    EXPECT_EQ(text.find("geheim"), std::string::npos) << text;
    EXPECT_NE(text.find("\n1\tB" + std::string(39, ' ') + "\tLAN: 10.0.0.5"), std::string::npos) << text;
    EXPECT_NE(text.find("\n2\tC" + std::string(39, ' ') + "\tS5 :        "), std::string::npos);
    ASSERT_EQ(Run({"show", Set(), "--show-passwords"}), 0);
    EXPECT_NE(out_.str().find("\tgeheim  \t"), std::string::npos) << out_.str();
}

TEST_F(SetCommands, ControlCharactersFromTheSetFileAreMasked) {
    AddThree();
    std::string bytes = Bytes();
    bytes.replace(bytes.find("A       "), 6, "A\x1b[2J\x07");
    ASSERT_TRUE(platform::WriteFileReplacing(Set(), bytes));
    ASSERT_EQ(Run({"show", Set()}), 0);
    EXPECT_EQ(out_.str().find('\x1b'), std::string::npos);
    EXPECT_EQ(out_.str().find('\x07'), std::string::npos);
    EXPECT_NE(out_.str().find("A?[2J?"), std::string::npos) << out_.str();
}

TEST_F(SetCommands, RefusedValuesExitWithTwoAndLeaveTheFileAsItWas) {
    AddThree();
    const std::string before = Bytes();
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"add", Set(), "--interface", "S5 H1-Bus", "--address", "aabbccddeefg"},
         "Bitte geben Sie hexadezimalstellen ein, dies sind die Zahlen 0-9 und die Zeichen A-F."},
        {{"add", Set(), "--interface", "S5 H1-Bus", "--address", "aabbccddeef"},
         "Anzahl der Zeichen ist falsch, bitte geben Sie genau 12 Zeichen ein"},
        {{"add", Set(), "--interface", "S5-LAN", "--address", "1.2.3"},
         "Keine g\xC3\xBCltige Ethernet Adresse!"},
        {{"add", Set(), "--interval", "trigger"},
         "Der SPS-Trigger kann nur bei S7-Steuerungen verwendet werden!"},
        {{"add", Set(), "--backup-bit", "X1.0"}, "Der Datenbereich des Operands ist ung\xC3\xBCltig!"},
        {{"add", Set(), "--restore-bit", "M1.8"}, "Die Adresse des Operands ist ung\xC3\xBCltig!"},
        {{"add", Set(), "--name", std::string(41, 'x')}, "Geben Sie nicht mehr als 40 Zeichen ein."},
        {{"add", Set(), "--interval", "daily", "--at", "24:00"},
         "Geben Sie eine ganze Zahl zwischen 0 und 23 ein."},
        {{"add", Set(), "--interval", "monthly"},
         "Der Tag des Monats ist ung\xC3\xBCltig, bitte geben Sie 1 bis 31 ein!"},
        {{"add", Set(), "--interval", "weekly", "--weekday", "Sun"},
         "Bitte w\xC3\xA4hlen Sie einen Wochentag aus!"},
        {{"add", Set(), "--interface", "S7"}, "Unbekannte Schnittstelle"},
        {{"add", Set(), "--interval", "daily", "--at", "6h"}, "Ung\xC3\xBCltige Zeitangabe"},
        {{"change", Set(), "0", "--interface", "S5 Direkt", "--interval", "trigger"},
         "Der SPS-Trigger kann nur bei S7-Steuerungen verwendet werden!"},
        {{"change", Set(), "3", "--name", "x"}, "Kein Eintrag \"3\" im Sicherungssatz."},
        {{"change", Set(), "D", "--name", "x"}, "Kein Eintrag \"D\" im Sicherungssatz."},
        {{"delete", Set(), "0", "5"}, "Kein Eintrag \"5\" im Sicherungssatz."},
        {{"config", Set(), "--retry", "0"}, "Geben Sie eine ganze Zahl zwischen 1 und 32767 ein."},
        {{"config", Set(), "--com", "0"}, "Geben Sie eine ganze Zahl zwischen 1 und 255 ein."},
    };
    for (const auto& [args, message] : cases) {
        EXPECT_EQ(Run(args), 2) << args[0] << " " << args.back();
        EXPECT_NE(err_.str().find(message), std::string::npos) << err_.str();
        EXPECT_EQ(Bytes(), before) << args.back();
    }
}

TEST_F(SetCommands, ChangeRewritesOneEntryInPlace) {
    AddThree();
    ASSERT_EQ(Run({"change", Set(), "1", "--name", "B2", "--interval", "weekly", "--weekday", "Son", "--at",
                   "12:00"}),
              0)
        << err_.str();
    const app::Station s = Load();
    ASSERT_EQ(s.entries.size(), 3u);
    EXPECT_EQ(s.entries[0].name, "A");
    EXPECT_EQ(s.entries[1].name, "B2");
    EXPECT_EQ(s.entries[1].address, (std::array<uint8_t, 6>{10, 0, 0, 5, 0, 0}));  // kept from the entry
    EXPECT_EQ(s.entries[1].day, 1);
    EXPECT_EQ(s.entries[2].name, "C");
    // Changing without naming the weekday keeps it.
    ASSERT_EQ(Run({"change", Set(), "1", "--at", "13:00"}), 0);
    EXPECT_EQ(Load().entries[1].day, 1);
    EXPECT_EQ(Load().entries[1].hour, 13);
}

TEST_F(SetCommands, DeleteRemovesTheNamedEntriesByIndexOrName) {
    AddThree();
    ASSERT_EQ(Run({"delete", Set(), "C", "0"}), 0);
    EXPECT_EQ(out_.str(), "Eintrag 0 \"A\" gel\xC3\xB6scht.\nEintrag 2 \"C\" gel\xC3\xB6scht.\n");
    const app::Station s = Load();
    ASSERT_EQ(s.entries.size(), 1u);
    EXPECT_EQ(s.entries[0].name, "B");
}

TEST_F(SetCommands, EditsSayWhatTheyDidUnlessQuiet) {
    ASSERT_EQ(Run({"new", Set()}), 0);
    EXPECT_EQ(out_.str(), "Sicherungssatz \"" + Set() + "\" angelegt.\n");
    ASSERT_EQ(Run({"add", Set(), "--name", "A"}), 0);
    EXPECT_EQ(out_.str(), "Eintrag 0 \"A\" angelegt.\n");
    ASSERT_EQ(Run({"change", Set(), "A", "--name", "B"}), 0);
    EXPECT_EQ(out_.str(), "Eintrag 0 \"B\" ge\xC3\xA4ndert.\n");
    ASSERT_EQ(Run({"config", Set(), "--retry", "3"}), 0);
    EXPECT_EQ(out_.str(), "Konfiguration von \"" + Set() + "\" gespeichert.\n");
    ASSERT_EQ(Run({"-q", "add", Set(), "--name", "C"}), 0);
    EXPECT_EQ(out_.str(), "");
}

TEST_F(SetCommands, ConfigKeepsTheDirectoryWithoutDirAndEndsAnExistingOneWithASeparator) {
    ASSERT_EQ(Run({"new", Set()}), 0);
    ASSERT_EQ(Run({"config", Set(), "--retry", "4"}), 0);
    EXPECT_EQ(Load().settings.backupDirectory, "");  // not the program directory the dialog offers
    ASSERT_EQ(Run({"config", Set(), "--dir", dir_.path().string()}), 0);
    EXPECT_EQ(Load().settings.backupDirectory, dir_.path().string() + "/");
    EXPECT_NE(err_.str().find("Hinweis"), std::string::npos);
    ASSERT_EQ(Run({"config", Set(), "--retry", "5"}), 0);
    EXPECT_EQ(Load().settings.backupDirectory, dir_.path().string() + "/");
    // A prefix that is no directory stays as typed: the engine joins it with the file name as it is.
    ASSERT_EQ(Run({"config", Set(), "--dir", (dir_ / "backup_").string()}), 0);
    EXPECT_EQ(Load().settings.backupDirectory, (dir_ / "backup_").string());
}

TEST_F(SetCommands, DamagedSetsWarnAndOverfullSetsAreNotEdited) {
    AddThree();
    const std::string full = Bytes();
    ASSERT_TRUE(platform::WriteFileReplacing(Set(), full.substr(0, full.size() - 30)));
    EXPECT_EQ(Run({"show", Set()}), 0);
    EXPECT_NE(err_.str().find("Warnung: Der Sicherungssatz endet vorzeitig"), std::string::npos);

    std::string overfull = full;
    overfull.replace(overfull.find("00003\n\r"), 7, "01500\n\r");
    ASSERT_TRUE(platform::WriteFileReplacing(Set(), overfull));
    EXPECT_EQ(Run({"add", Set(), "--name", "D"}), 2);
    EXPECT_EQ(Bytes(), overfull);
}

TEST_F(SetCommands, MissingSetsAndBadUsageExitWithTwo) {
    EXPECT_EQ(Run({"show", Set()}), 2);
    EXPECT_NE(err_.str().find("kann nicht gelesen werden"), std::string::npos);
    EXPECT_EQ(Run({"add", Set(), "--name", "x"}), 2);
    EXPECT_FALSE(std::filesystem::exists(Set()));
    EXPECT_EQ(Run({"frobnicate"}), 2);
    EXPECT_EQ(Run({}), 2);
    EXPECT_EQ(Run({"inspect", (dir_ / "missing.S7P").string()}), 2);
}

}  // namespace
}  // namespace vaultra::cli
