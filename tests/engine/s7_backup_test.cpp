#include <gtest/gtest.h>

#include <algorithm>

#include "app/engine_texts.h"
#include "app/recording_front_end.h"
#include "app/s7_backup.h"
#include "s7project/block_image.h"
#include "tests/engine/engine_test_support.h"

namespace vaultra::app {
namespace {

using engine_test::FakeBlock;
using engine_test::FakeDir;
using engine_test::FakeDriver;
using Kind = RecordingFrontEnd::Kind;

// An image with a readable header: marker, subblock type, number and load length, then a pattern.
std::vector<uint8_t> Image(int type, int number, std::size_t length) {
    static const uint8_t kSubblock[7] = {10, 11, 13, 14, 8, 12, 15};
    std::vector<uint8_t> image(length);
    for (std::size_t i = 0; i < length; ++i) {
        image[i] = static_cast<uint8_t>(i * 7 + number + type);
    }
    image[0] = image[1] = 0x70;
    image[5] = kSubblock[type];
    image[6] = static_cast<uint8_t>(number >> 8);
    image[7] = static_cast<uint8_t>(number);
    for (int i = 0; i < 4; ++i) {
        image[8 + i] = static_cast<uint8_t>(length >> (24 - 8 * i));
    }
    return image;
}

FakeBlock Block(int type, int number, std::size_t length = 120) {
    return FakeBlock{type, number, Image(type, number, length)};
}

class S7BackupTest : public ::testing::Test {
protected:
    S7BackupTest()
        : fake("full", "libTARN7RFC.so"),
          drivers(station, ui, {FakeDir("full")}, NoAdapters()),
          backup(drivers, station, ui) {
        entry.name = "PLC";
        entry.flags = flag::kS7Rfc1006 | static_cast<uint16_t>(IntervalKind::Never);
        entry.address = {127, 0, 0, 1, 2, 0};
        entry.fileName = "LINE1.S7P";
        station.settings.backupDirectory = "/backups/";
        backup.writeProject = [this](const std::filesystem::path& path, const s7project::BlockList& blocks) {
            ++writes;
            writtenPath = path.string();
            written = blocks;
            return writeSucceeds;
        };
        fake->blocks = {Block(4, 1), Block(0, 1), Block(0, 2),   Block(5, 3),
                        Block(2, 5), Block(1, 0), Block(3, 4096)};
    }

    static CNetworkCard NoAdapters() {
        return CNetworkCard([] { return std::vector<NetworkAdapter>{}; });
    }

    int Run(const std::string& suffix = {}) { return backup.Run(entry, suffix); }

    std::vector<std::string> Calls(const std::string& prefix) const {
        std::vector<std::string> out;
        for (const auto& c : fake->calls) {
            if (c.rfind(prefix, 0) == 0) {
                out.push_back(c);
            }
        }
        return out;
    }
    std::size_t CallIndex(const std::string& call) const {
        return static_cast<std::size_t>(std::find(fake->calls.begin(), fake->calls.end(), call) -
                                        fake->calls.begin());
    }
    void ExpectFailedAndReleased() {
        EXPECT_TRUE(entry.Has(flag::kLastFailed));
        EXPECT_FALSE(entry.Has(flag::kLastSucceeded));
        EXPECT_EQ(fake->openConnections, 0);
        EXPECT_EQ(writes, 0);
        EXPECT_EQ(ui.Count(Kind::ShowProgress), ui.Count(Kind::HideProgress));
    }

    FakeDriver fake;
    Station station;
    RecordingFrontEnd ui;
    DriverBinding drivers;
    S7Backup backup;
    CElement entry;
    bool writeSucceeds = true;
    int writes = 0;
    std::string writtenPath;
    s7project::BlockList written;
};

TEST_F(S7BackupTest, UploadsEverySelectedBlockInTypeOrderAndStoresThemWhole) {
    ASSERT_TRUE(fake.Loaded());
    entry.Set(flag::kLastFailed, true);
    ASSERT_EQ(Run(), 1);

    // OB, SFB, SFC (skipped: system blocks), DB, FB (4096 is beyond the numbers looked at), FC, SDB.
    EXPECT_EQ(Calls("RdBst"),
              (std::vector<std::string>{"RdBst 4 1 running", "RdBst 0 1 running", "RdBst 0 2 running",
                                        "RdBst 5 3 running", "RdBst 1 0 running"}));
    ASSERT_EQ(written.size(), 5u);
    EXPECT_EQ(written[0], fake->blocks[0].image);
    EXPECT_EQ(written[2], fake->blocks[2].image);
    EXPECT_EQ(written[4], fake->blocks[5].image);
    EXPECT_EQ(writtenPath, "/backups/LINE1.S7P");
    EXPECT_TRUE(entry.Has(flag::kLastSucceeded));
    EXPECT_FALSE(entry.Has(flag::kLastFailed));
    EXPECT_EQ(fake->openConnections, 0);
    EXPECT_EQ(fake->calls.back(), "Exit 0");
    EXPECT_TRUE(Calls("DoPassword").empty());
    EXPECT_TRUE(Calls("AGStop").empty());

    const auto texts = ui.StatusTexts();
    for (const char* expected : {"AG initialisieren...", "PLC: OB  prüfen", "PLC: SDB prüfen",
                                 "PLC: DB  Buchhalter lesen", "PLC: DB  00002 nachher lesen",
                                 "PLC: SDB 00000 lesen", "VOR DEM SPEICHERN", "NACH DEM SPEICHERN"}) {
        EXPECT_NE(std::find(texts.begin(), texts.end(), expected), texts.end()) << expected;
    }
    EXPECT_EQ(texts.back(), "AG gesichert.");
    EXPECT_EQ(ui.Count(Kind::ShowProgress), 1);
    EXPECT_EQ(ui.events.back().kind, Kind::HideProgress);
    EXPECT_EQ(ui.Count(Kind::Step), 7 + 5);  // one per type, one per block
}

TEST_F(S7BackupTest, DbDirectoryIsPrecededByAnObDirectoryRead) {
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(Calls("RdDir"),
              (std::vector<std::string>{"RdDir 4 running", "RdDir 6 running", "RdDir 2 running",
                                        "RdDir 4 running", "RdDir 0 running", "RdDir 3 running",
                                        "RdDir 5 running", "RdDir 1 running"}));
}

TEST_F(S7BackupTest, BlockListAndSystemBlockSettingSelectTheBlocks) {
    entry.blockList = "DB 2,FX 3,PB 5";
    entry.Set(flag::kOnlyListed, true);
    station.settings.skipSystemBlocks = 0;
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(Calls("RdBst"),
              (std::vector<std::string>{"RdBst 2 5 running", "RdBst 0 2 running", "RdBst 5 3 running"}));
}

TEST_F(S7BackupTest, StopPlcStopsOnlyWhileTheDirectoriesAreRead) {
    station.settings.stopPlc = 1;
    ASSERT_EQ(Run(), 1);
    for (const auto& c : Calls("RdDir")) {
        EXPECT_NE(c.find("stopped"), std::string::npos) << c;
    }
    for (const auto& c : Calls("RdBst")) {
        EXPECT_NE(c.find("running"), std::string::npos) << c;
    }
    EXPECT_EQ(Calls("AGStop").size(), 1u);
    EXPECT_EQ(Calls("AGStart").size(), 1u);
}

TEST_F(S7BackupTest, PasswordIsSentEncodedAndARefusalEndsTheRunReleased) {
    entry.password = "ab";
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(fake->password,
              (std::vector<uint8_t>{'a' ^ 0x55, 'b' ^ 0x55, 'a', 'b', 'a' ^ 0x55, 'b' ^ 0x55, 'a', 'b'}));
    EXPECT_LT(CallIndex("DoPassword"), CallIndex("RdDir 4 running"));

    fake->calls.clear();
    writes = 0;
    fake->passwordPlcError = 0xD602;  // accepted by the call, refused by the PLC
    EXPECT_EQ(Run(), 0);
    ExpectFailedAndReleased();
    EXPECT_TRUE(Calls("RdDir").empty());
    EXPECT_TRUE(ui.SawStatus("PLC: Passwort von der Steuerung nicht angenommen."));

    fake->passwordPlcError = 0;
    fake->refusePassword = true;
    EXPECT_EQ(Run(), 0);
    ExpectFailedAndReleased();
}

TEST_F(S7BackupTest, UnreachablePlcIsReportedAndLeavesNothingOpen) {
    fake->initFails = true;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ui.StatusTexts().back(), "AG nicht ansprechbar.");
    ExpectFailedAndReleased();
}

TEST_F(S7BackupTest, MissingLibraryFailsTheConnect) {
    engine_test::TempDir empty;
    DriverBinding nowhere(station, ui, {empty.path()}, NoAdapters());
    S7Backup lost(nowhere, station, ui);
    EXPECT_EQ(lost.Run(entry, {}), 0);
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"libTARN7RFC.so nicht gefunden!"});
    EXPECT_EQ(ui.StatusTexts().back(), "AG nicht ansprechbar.");
    EXPECT_TRUE(entry.Has(flag::kLastFailed));
}

TEST_F(S7BackupTest, FailedDirectoryReadStartsTheStoppedPlcAndReleases) {
    station.settings.stopPlc = 1;
    fake->failDirectoryType = 0;
    EXPECT_EQ(Run(), 0);
    ExpectFailedAndReleased();
    EXPECT_TRUE(Calls("RdBst").empty());
    EXPECT_EQ(Calls("AGStart").size(), 1u);
    EXPECT_LT(CallIndex("AGStart"), CallIndex("Exit 0"));
}

TEST_F(S7BackupTest, FailedBlockReadIsReportedStartsThePlcOnceMoreAndReleases) {
    station.settings.stopPlc = 1;
    fake->failBlockType = 0;
    fake->failBlockNumber = 2;
    EXPECT_EQ(Run(), 0);
    ExpectFailedAndReleased();
    EXPECT_EQ(ui.StatusTexts().back(), "Baustein nicht von der Steuerung lesbar.");
    EXPECT_EQ(Calls("AGStart").size(), 2u);
    EXPECT_EQ(fake->calls.back(), "Exit 0");
}

TEST_F(S7BackupTest, UploadWhoseHeaderClaimsMoreThanArrivedIsRefused) {
    station.settings.stopPlc = 1;
    fake->blocks = {Block(0, 1, 70000), Block(0, 2, 516)};
    auto& image = fake->blocks[1].image;  // 516 bytes sent, the header says 65,270
    image[10] = 0xFE;
    image[11] = 0xF6;
    EXPECT_EQ(Run(), 0);
    ExpectFailedAndReleased();
    EXPECT_EQ(ui.StatusTexts().back(),
              "PLC: DB  00002: Längenangabe im Bausteinkopf passt nicht zu den gelesenen Daten.");
    EXPECT_EQ(Calls("AGStart").size(), 2u);
}

TEST_F(S7BackupTest, UploadFunctionMissingFromTheLibraryFailsLikeAFailedRead) {
    FakeDriver partial("partial", "libTARN7RFC.so");
    DriverBinding partialDrivers(station, ui, {FakeDir("partial")}, NoAdapters());
    S7Backup partialBackup(partialDrivers, station, ui);
    partial->blocks = {Block(4, 1)};
    EXPECT_EQ(partialBackup.Run(entry, {}), 0);
    EXPECT_EQ(ui.StatusTexts().back(), "Baustein nicht von der Steuerung lesbar.");
    EXPECT_EQ(partial->openConnections, 0);
}

TEST_F(S7BackupTest, EscapeDuringDirectoryReadingAsksAndAbortsOnlyOnOk) {
    station.settings.stopPlc = 1;
    ui.onStatus = [this](const std::string& text) {
        if (text == "PLC: DB  Buchhalter lesen") {
            ui.onPoll = [](int) { return AbortRequest::Escape; };
        }
    };
    ui.answers = {MessageAnswer::Cancel, MessageAnswer::Ok};
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ui.Messages().size(), 2u);
    EXPECT_EQ(ui.StatusTexts().back(), "Abbruch");
    ExpectFailedAndReleased();
    // Cancel went on to the DB directory; Ok stopped at its first block.
    EXPECT_EQ(Calls("RdDir 0").size(), 1u);
    EXPECT_TRUE(Calls("RdBst").empty());
    EXPECT_EQ(Calls("AGStart").size(), 1u);
}

TEST_F(S7BackupTest, QuitDuringUploadAbortsWithoutStartingThePlcAgain) {
    station.settings.stopPlc = 1;
    ui.onStatus = [this](const std::string& text) {
        if (text == "PLC: DB  00001 lesen") {
            ui.quit = true;
        }
    };
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ui.StatusTexts().back(), "Abbruch");
    ExpectFailedAndReleased();
    EXPECT_EQ(Calls("RdBst").size(), 2u);  // OB1 and the DB1 whose text came before the abort check
    EXPECT_EQ(Calls("AGStart").size(), 1u);
}

TEST_F(S7BackupTest, AbortBeforeConnectingTouchesNoDriver) {
    ui.quit = true;
    EXPECT_EQ(Run(), 0);
    EXPECT_EQ(ui.StatusTexts(), std::vector<std::string>{"Abbruch"});
    EXPECT_TRUE(fake->calls.empty());
    EXPECT_TRUE(entry.Has(flag::kLastFailed));
}

TEST_F(S7BackupTest, EmptyProgramSucceedsWithoutAProject) {
    fake->blocks.clear();
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(writes, 0);
    EXPECT_TRUE(entry.Has(flag::kLastSucceeded));
    EXPECT_EQ(ui.StatusTexts().back(), "AG gesichert.");
}

TEST_F(S7BackupTest, ProjectThatCannotBeWrittenFailsTheRun) {
    writeSucceeds = false;
    EXPECT_EQ(Run(), 0);
    EXPECT_TRUE(entry.Has(flag::kLastFailed));
    EXPECT_EQ(fake->openConnections, 0);
    EXPECT_EQ(ui.StatusTexts().back(), "PLC: Projekt /backups/LINE1.S7P konnte nicht geschrieben werden.");
    EXPECT_FALSE(ui.SawStatus("AG gesichert."));
}

TEST_F(S7BackupTest, BlocksOf64KiBAndMoreAreStoredWhole) {
    fake->blocks = {Block(0, 7, 70000), Block(0, 8, 65536)};
    ASSERT_EQ(Run(), 1);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0], fake->blocks[0].image);
    EXPECT_EQ(written[1].size(), 65536u);
}

TEST_F(S7BackupTest, SuffixFromThePlcNamesTheProjectOrIsRefusedBeforeConnecting) {
    ASSERT_EQ(Run("ABC"), 1);
    EXPECT_EQ(writtenPath, "/backups/LINE1_ABC.S7P");

    for (const std::string& bad :
         std::vector<std::string>{"../x", "a/b", "a\\b", "a\x01", std::string(250, 'x'), ".."}) {
        fake->calls.clear();
        writes = 0;
        EXPECT_EQ(Run(bad), 0) << bad;
        EXPECT_TRUE(fake->calls.empty());
        ExpectFailedAndReleased();
    }
    EXPECT_TRUE(ui.SawStatus("PLC: Dateizusatz \"a?\" der Steuerung ist kein gültiger Dateiname."));
}

TEST_F(S7BackupTest, TriggeredBackupClearsTheRequestBitBeforeReleasing) {
    entry.SetIntervalKind(IntervalKind::PlcTrigger);
    entry.backupBit = "M10.3";
    std::vector<std::string> cleared;
    backup.writeOperandBit = [&](ConnectionRecord& record, const std::string& operand, int value) {
        cleared.push_back(operand + "=" + std::to_string(value) + (record.connected ? " open" : " closed"));
        return 1;
    };
    ASSERT_EQ(Run(), 1);
    EXPECT_EQ(cleared, std::vector<std::string>{"M10.3=0 open"});

    entry.SetIntervalKind(IntervalKind::Every);
    cleared.clear();
    ASSERT_EQ(Run(), 1);
    EXPECT_TRUE(cleared.empty());
}

// A restore rebuilds trailer bytes without a project field as zero: a block that has others is named.
TEST_F(S7BackupTest, TrailerBytesTheProjectCannotKeepAreNamed) {
    s7project::BlockImageFields fields;
    fields.header.type = s7project::subblock::kFc;
    fields.header.number = 3;
    fields.code.assign(10, 1);
    fields.trailer[24] = 0x11;  // version and checksum have fields
    fields.trailer[27] = 0x42;
    FakeBlock plain{5, 4, s7project::BuildBlockImage(fields)};
    plain.image[7] = 4;
    fields.trailer[25] = 1;
    fields.trailer[30] = 9;
    fake->blocks = {FakeBlock{5, 3, s7project::BuildBlockImage(fields)}, plain};
    ASSERT_EQ(Run(), 1);
    const auto texts = ui.StatusTexts();
    const auto named = std::count_if(texts.begin(), texts.end(),
                                     [](const std::string& t) { return t.find("Bausteinende") != t.npos; });
    EXPECT_EQ(named, 1);
    EXPECT_TRUE(ui.SawStatus(
        "PLC: FC  00003: Bytes 25, 30 am Bausteinende hat das Projekt kein Feld, sie werden als 0 "
        "zurückgeschrieben."));
    EXPECT_EQ(texts.back(), "AG gesichert.");  // a note, not a failure
}

TEST(S7ProjectPath, StaysInsideTheBackupDirectory) {
    EXPECT_EQ(S7ProjectPath("/b/", "LINE1.S7P", ""), "/b/LINE1.S7P");
    EXPECT_EQ(S7ProjectPath("/b/", "LINE1.S7P", "A12"), "/b/LINE1_A12.S7P");
    EXPECT_EQ(S7ProjectPath("/b/", "hall2/LINE1.S7P", "A"), "/b/hall2/LINE1_A.S7P");
    EXPECT_FALSE(S7ProjectPath("/b/", "../LINE1.S7P", ""));
    EXPECT_FALSE(S7ProjectPath("/b/", "x/../../LINE1.S7P", ""));
    EXPECT_FALSE(S7ProjectPath("/b/", "LINE1.S7P", "x..y"));
    // 255 bytes is the longest file name.
    const std::string name(240, 'n');
    EXPECT_TRUE(S7ProjectPath("/b/", name + ".S7P", std::string(10, 's')));
    EXPECT_FALSE(S7ProjectPath("/b/", name + ".S7P", std::string(11, 's')));
}

TEST(UploadedImageLength, TakesTheWholeLoadLengthOnlyWhenEverythingAgrees) {
    std::vector<uint8_t> image = Image(0, 1, 70000);
    BlockRecord block{};
    block.length = static_cast<uint16_t>(70000);
    EXPECT_EQ(UploadedImageLength(block, image), 70000u);
    // A header announcing more than the buffer holds is not believed.
    EXPECT_FALSE(UploadedImageLength(block, std::span<const uint8_t>(image.data(), 50000)));
    block.length = 516;  // the driver saw another length than the header says
    EXPECT_FALSE(UploadedImageLength(block, image));
    block.length = static_cast<uint16_t>(70000);
    image[0] = 0;  // no header
    EXPECT_FALSE(UploadedImageLength(block, image));
}

}  // namespace
}  // namespace vaultra::app
