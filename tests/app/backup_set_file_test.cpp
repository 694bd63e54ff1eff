#include "app/backup_set_file.h"

#include <gtest/gtest.h>

#include <random>

#include "app/schedule.h"
#include "berlin_time.h"

namespace vaultra::app {
namespace {

const int64_t kNow = 1781000000;  // a fixed "now" for every load

// Golden-file builders: the documented field kinds, each followed by LF CR.
std::string Num(unsigned v) {
    char b[16];
    std::snprintf(b, sizeof b, "%05u", v);
    return std::string(b) + "\n\r";
}
std::string Hex(unsigned v) {
    char b[16];
    std::snprintf(b, sizeof b, "%08x", v);
    return std::string(b) + "\n\r";
}
std::string Txt(const std::string& v, size_t n) {
    return v + std::string(n - v.size(), ' ') + "\n\r";
}

std::string Header(unsigned word, const std::string& dir, bool withRetry, unsigned count) {
    return Num(word) + Txt(dir, 260) + (withRetry ? Num(10) : "") + Num(0) + Num(1) + Num(1) + Num(count);
}

struct Decoded {
    StationSettings settings;
    EntryList entries;
    LoadReport report;
};
Decoded Decode(const std::string& bytes, StationSettings settings = {}) {
    Decoded d;
    d.settings = settings;
    d.report = DecodeBackupSet(bytes, d.settings, d.entries, kNow);
    return d;
}

CElement SampleEntry() {
    CElement e;
    e.name = "Presse 1";
    e.address = {0x0A, 0x00, 0x00, 0x05, 0x02, 0x01};
    e.password = "geheim";
    e.flags = flag::kS7Lan | flag::kOnlyListed | flag::kMarked | static_cast<uint16_t>(IntervalKind::Never);
    e.fileName = "PRESSE1.S7P";
    e.blockList = "DB 001,FB 022";
    e.triggerInterval = 0x5A;
    e.backupBit = "M10.3";
    e.restoreBit = "DB5.DBX3.7";
    e.nameOperand = "DB10.DBB4";
    return e;
}

TEST(BackupSetFile, HeaderCarriesTheFormatWordAndLineEndsAreLfCr) {
    StationSettings s;
    s.comPort = 3;
    const std::string bytes = EncodeBackupSet(s, EntryList{});
    EXPECT_EQ(bytes.substr(0, 7), "56835\n\r");
    EXPECT_EQ(bytes, Header(0xDE03, "", true, 0));
    EXPECT_EQ(bytes.size(), 7 + 262 + 7 * 4 + 7u);
}

TEST(BackupSetFile, EntryIsWrittenFieldByFieldWithTheDocumentedWidths) {
    StationSettings s;
    s.backupDirectory = "/srv/backup/";
    EntryList list;
    list.Append(SampleEntry());
    const std::string expected = Header(0xDE01, "/srv/backup/", true, 1) + Txt("Presse 1", 40) +
                                 "0A0000050201\n\r" + Txt("geheim", 8) + Num(0x0924) + Num(255) + Num(255) +
                                 Num(255) + Txt("PRESSE1.S7P", 260) + Hex(0) + Txt("DB 001,FB 022", 255) +
                                 Hex(0x5A) + Txt("M10.3", 20) + Txt("DB5.DBX3.7", 20) + Txt("DB10.DBB4", 20);
    EXPECT_EQ(EncodeBackupSet(s, list), expected);
}

TEST(BackupSetFile, RoundTripKeepsEveryFieldAndIsByteIdentical) {
    StationSettings s;
    s.comPort = 7;
    s.backupDirectory = "/daten/sicherung/";
    s.retryMinutes = 32767;
    s.stopPlc = 1;
    s.skipSystemBlocks = 0;
    s.noWriteBack = 0;
    EntryList list;
    list.Append(SampleEntry());
    CElement monthly;
    monthly.name = std::string(40, 'N');  // a full-width name stays whole
    monthly.flags = flag::kS5H1 | static_cast<uint16_t>(IntervalKind::Monthly);
    monthly.day = 5;
    monthly.hour = 6;
    monthly.minute = 7;
    monthly.address = {0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    ComputeNextBackup(monthly, kNow);
    list.Append(monthly);

    const std::string first = EncodeBackupSet(s, list);
    Decoded d = Decode(first);
    EXPECT_TRUE(d.report.warnings.empty());
    EXPECT_EQ(d.report.version, 222u);
    ASSERT_EQ(d.entries.size(), 2u);
    EXPECT_EQ(d.settings.comPort, 7u);
    EXPECT_EQ(d.settings.backupDirectory, "/daten/sicherung/");
    EXPECT_EQ(d.settings.retryMinutes, 32767u);
    EXPECT_EQ(d.settings.stopPlc, 1u);
    EXPECT_EQ(d.settings.skipSystemBlocks, 0u);
    EXPECT_EQ(d.settings.noWriteBack, 0u);
    const CElement& e = d.entries[0];
    const CElement sample = SampleEntry();
    EXPECT_EQ(e.name, sample.name);
    EXPECT_EQ(e.address, sample.address);
    EXPECT_EQ(e.password, sample.password);
    EXPECT_EQ(e.flags, sample.flags);
    EXPECT_EQ(e.fileName, sample.fileName);
    EXPECT_EQ(e.blockList, sample.blockList);
    EXPECT_EQ(e.triggerInterval, sample.triggerInterval);
    EXPECT_EQ(e.backupBit, sample.backupBit);
    EXPECT_EQ(e.restoreBit, sample.restoreBit);
    EXPECT_EQ(e.nameOperand, sample.nameOperand);
    EXPECT_EQ(d.entries[1].name, std::string(40, 'N'));
    EXPECT_EQ(d.entries[1].nextBackup, monthly.nextBackup);
    EXPECT_EQ(EncodeBackupSet(d.settings, d.entries), first);
}

TEST(BackupSetFile, OneCharacterAndBlankTextFieldsReadBackTrimmed) {
    CElement e;
    e.name = "X";
    e.password = " ";
    e.fileName = " lead";
    EntryList list;
    list.Append(e);
    const Decoded d = Decode(EncodeBackupSet({}, list));
    ASSERT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(d.entries[0].name, "X");
    EXPECT_EQ(d.entries[0].password, "");
    EXPECT_EQ(d.entries[0].fileName, " lead");
    EXPECT_EQ(d.entries[0].blockList, "");
}

TEST(BackupSetFile, OverlongTextsAreCutToTheirFieldWidth) {
    CElement e;
    e.name = std::string(45, 'a');
    e.password = "123456789";
    EntryList list;
    list.Append(e);
    const Decoded d = Decode(EncodeBackupSet({}, list));
    EXPECT_EQ(d.entries[0].name, std::string(40, 'a'));
    EXPECT_EQ(d.entries[0].password, "12345678");
}

TEST(BackupSetFile, TextsAreStoredInWindows1252) {
    CElement e;
    e.name = "K\xC3\xBChlhaus \xE2\x82\xAC";  // "Kühlhaus €"
    EntryList list;
    list.Append(e);
    const std::string bytes = EncodeBackupSet({}, list);
    EXPECT_NE(bytes.find("K\xFChlhaus \x80"), std::string::npos);
    EXPECT_EQ(Decode(bytes).entries[0].name, e.name);
}

TEST(BackupSetFile, ResultBitsAreClearedAndNextBackupRecomputedOnLoad) {
    CElement e;
    e.flags = flag::kS5H1 | flag::kLastFailed | flag::kLastSucceeded | flag::kMarked |
              static_cast<uint16_t>(IntervalKind::Every);
    e.hour = 1;
    e.minute = 0;
    e.nextBackup = 42;
    EntryList list;
    list.Append(e);
    const std::string bytes = EncodeBackupSet({}, list);
    EXPECT_NE(bytes.find(Num(0x00F0)), std::string::npos);  // written as in memory
    const Decoded d = Decode(bytes);
    EXPECT_EQ(d.entries[0].flags, flag::kS5H1 | flag::kMarked);
    EXPECT_EQ(d.entries[0].nextBackup, static_cast<uint32_t>(kNow + 3600));
}

TEST(BackupSetFile, VersionZeroHasSixCharacterPasswordsAndNoRetryOrTriggerFields) {
    const std::string bytes = Num(2) + Txt("C:\\DATEN\\", 260) + Num(1) + Num(0) + Num(0) + Num(1) +
                              Txt("Alt", 40) + "000000000000\n\r" + Txt("ABCDEF", 6) + Num(0x0004) +
                              Num(255) + Num(255) + Num(255) + Txt("ALT.QRF", 260) + Hex(0) + Txt("", 255);
    StationSettings before;
    before.retryMinutes = 77;
    const Decoded d = Decode(bytes, before);
    EXPECT_TRUE(d.report.warnings.empty()) << d.report.warnings.front();
    EXPECT_EQ(d.report.version, 0u);
    EXPECT_EQ(d.settings.comPort, 2u);
    EXPECT_EQ(d.settings.retryMinutes, 77u);
    EXPECT_EQ(d.settings.stopPlc, 1u);
    ASSERT_EQ(d.entries.size(), 1u);
    EXPECT_EQ(d.entries[0].password, "ABCDEF");
    EXPECT_EQ(d.entries[0].fileName, "ALT.QRF");
    EXPECT_EQ(d.entries[0].triggerInterval, 0u);
    EXPECT_EQ(d.entries[0].backupBit, "");
    // Saving again writes the current version.
    EXPECT_EQ(EncodeBackupSet(d.settings, d.entries).substr(0, 7), Num(0xDE02));
}

TEST(BackupSetFile, VersionsBelow222HaveEightCharacterPasswordsButNoRetryOrTriggerFields) {
    for (unsigned version : {1u, 100u, 221u}) {
        const std::string bytes = Num(version << 8 | 4) + Txt("", 260) + Num(0) + Num(1) + Num(1) + Num(1) +
                                  Txt("Mittel", 40) + "001122334455\n\r" + Txt("12345678", 8) + Num(0x0010) +
                                  Num(2) + Num(3) + Num(4) + Txt("M.QRF", 260) + Hex(0) + Txt("OB", 255);
        StationSettings before;
        before.retryMinutes = 5;
        const Decoded d = Decode(bytes, before);
        EXPECT_TRUE(d.report.warnings.empty()) << version;
        EXPECT_EQ(d.report.version, version);
        EXPECT_EQ(d.settings.comPort, 4u);
        EXPECT_EQ(d.settings.retryMinutes, 5u);
        ASSERT_EQ(d.entries.size(), 1u);
        EXPECT_EQ(d.entries[0].password, "12345678");
        EXPECT_EQ(d.entries[0].address, (std::array<uint8_t, 6>{0x00, 0x11, 0x22, 0x33, 0x44, 0x55}));
        EXPECT_EQ(d.entries[0].blockList, "OB");
        EXPECT_EQ(d.entries[0].day, 2);
    }
}

TEST(BackupSetFile, CountOf1024OrMoreOpensWithoutEntries) {
    std::string bytes = Header(0xDE01, "", true, 1024);
    const Decoded d = Decode(bytes + Txt("x", 40));
    EXPECT_TRUE(d.report.entriesDropped);
    EXPECT_EQ(d.entries.size(), 0u);
    EXPECT_FALSE(d.report.warnings.empty());
}

TEST(BackupSetFile, UnknownIntervalKindIsKeptWithItsStoredTime) {
    CElement e;
    e.flags = flag::kS7Mpi | 0x000B;
    e.nextBackup = 0x01020304;
    EntryList list;
    list.Append(e);
    const std::string bytes = EncodeBackupSet({}, list);
    const Decoded d = Decode(bytes);
    EXPECT_EQ(d.entries[0].IntervalKindValue(), 0x0B);
    EXPECT_EQ(EffectiveIntervalKind(d.entries[0]), IntervalKind::Never);
    EXPECT_EQ(EncodeBackupSet(d.settings, d.entries), bytes);
}

TEST(BackupSetFile, TruncatedFileStopsAtTheEndWithZerosAndAWarning) {
    EntryList list;
    list.Append(SampleEntry());
    list.Append(SampleEntry());
    const std::string full = EncodeBackupSet({}, list);
    const size_t header = 7 + 262 + 5 * 7;
    // Cut inside the second entry: the first is whole, the second has what was there and zeros after.
    const size_t entry = full.size() - header;
    const Decoded d = Decode(full.substr(0, header + entry / 2 + 45));
    EXPECT_TRUE(d.report.truncated);
    EXPECT_FALSE(d.report.warnings.empty());
    ASSERT_EQ(d.entries.size(), 2u);
    EXPECT_EQ(d.entries[0].nameOperand, "DB10.DBB4");
    EXPECT_EQ(d.entries[1].name, "Presse 1");
    EXPECT_EQ(d.entries[1].flags, 0);
    EXPECT_EQ(d.entries[1].fileName, "");
}

TEST(BackupSetFile, UnparsableNumbersReadAsZeroWithAWarning) {
    const std::string bytes = Num(0xDE01) + Txt("", 260) + "abcde\n\r" + Num(0) + Num(1) + Num(1) + Num(0);
    StationSettings before;
    before.retryMinutes = 33;
    const Decoded d = Decode(bytes, before);
    EXPECT_EQ(d.settings.retryMinutes, 0u);
    ASSERT_EQ(d.report.warnings.size(), 1u);
    EXPECT_NE(d.report.warnings[0].find("abcde"), std::string::npos);
    EXPECT_FALSE(d.report.truncated);
}

TEST(BackupSetFile, ForeignLineEndsAreAccepted) {
    // A file rewritten by an editor with CR LF line ends reads the same.
    std::string bytes = EncodeBackupSet({}, EntryList{});
    std::string crlf;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (bytes.compare(i, 2, "\n\r") == 0) {
            crlf += "\r\n";
            ++i;
        } else {
            crlf += bytes[i];
        }
    }
    const Decoded d = Decode(crlf);
    EXPECT_TRUE(d.report.warnings.empty());
    EXPECT_EQ(d.settings.retryMinutes, 10u);
}

// Random bytes, random cuts and random corruptions of a valid file never make the reader crash or read
// past the end (the sanitizer build checks the latter).
TEST(BackupSetFile, RandomAndDamagedInputNeverBreaksTheReader) {
    EntryList list;
    for (int i = 0; i < 3; ++i) {
        list.Append(SampleEntry());
    }
    const std::string valid = EncodeBackupSet({}, list);
    std::mt19937 rng(12345);
    for (int round = 0; round < 2000; ++round) {
        std::string bytes;
        if (round % 3 == 0) {
            bytes.resize(rng() % 600);
            for (char& c : bytes) {
                c = static_cast<char>(rng() % 256);
            }
        } else {
            bytes = valid.substr(0, rng() % (valid.size() + 1));
            for (int k = 0; k < 5 && !bytes.empty(); ++k) {
                bytes[rng() % bytes.size()] = static_cast<char>(rng() % 256);
            }
        }
        const Decoded d = Decode(bytes);
        EXPECT_LE(d.entries.size(), kMaxEntries);
        if (bytes.size() < valid.size() && round % 3 == 2) {
            EXPECT_LE(d.entries.size(), 3u);
        }
    }
}

}  // namespace
}  // namespace vaultra::app
