#include "app/station.h"

#include <gtest/gtest.h>

#include "app/backup_set_file.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace vaultra::app {
namespace {

CElement Named(const std::string& name, bool marked = false) {
    CElement e;
    e.name = name;
    e.Set(flag::kMarked, marked);
    return e;
}

std::vector<std::string> Names(const Station& s) {
    std::vector<std::string> names;
    for (const CElement& e : s.entries) {
        names.push_back(e.name);
    }
    return names;
}

TEST(Station, DeleteRemovesMarkedEntriesAndKeepsTheOrder) {
    Station s;
    for (const auto& [name, marked] : {std::pair{"a", true}, {"b", false}, {"c", true}, {"d", false}}) {
        ASSERT_TRUE(s.AddEntry(Named(name, marked)));
    }
    const CElement* d = &s.entries[3];
    EXPECT_EQ(s.DeleteMarked(), 2u);
    EXPECT_EQ(Names(s), (std::vector<std::string>{"b", "d"}));
    EXPECT_EQ(&s.entries[1], d);  // survivors keep their place in memory
}

TEST(Station, DeleteDoesNothingWhileARunIsBusy) {
    Station s;
    s.AddEntry(Named("a", true));
    s.runBusy = true;
    EXPECT_EQ(s.DeleteMarked(), 0u);
    EXPECT_EQ(s.entries.size(), 1u);
    s.runBusy = false;
    EXPECT_EQ(s.DeleteMarked(), 1u);
}

TEST(Station, ToggleMarkFlipsOnlyInsideTheList) {
    Station s;
    s.AddEntry(Named("a"));
    EXPECT_TRUE(s.ToggleMark(0));
    EXPECT_TRUE(s.entries[0].Has(flag::kMarked));
    EXPECT_TRUE(s.ToggleMark(0));
    EXPECT_FALSE(s.entries[0].Has(flag::kMarked));
    EXPECT_FALSE(s.ToggleMark(1));
}

TEST(Station, AddRefusesTheEntryThatWouldMakeTheSetUnreadable) {
    Station s;
    for (size_t i = 0; i < kMaxEntries; ++i) {
        ASSERT_TRUE(s.AddEntry(Named("x")));
    }
    EXPECT_FALSE(s.AddEntry(Named("one too many")));
    EXPECT_EQ(s.entries.size(), kMaxEntries);
}

TEST(Station, FullPathIsDirectoryAndFileNameWithoutSeparator) {
    Station s;
    CElement e;
    e.fileName = "ANLAGE.S7P";
    s.settings.backupDirectory = "/data/";
    EXPECT_EQ(s.FullPath(e), "/data/ANLAGE.S7P");
    s.settings.backupDirectory = "/data";
    EXPECT_EQ(s.FullPath(e), "/dataANLAGE.S7P");
}

TEST(Station, NewSetEmptiesTheListButKeepsTheSettings) {
    Station s;
    s.settings.retryMinutes = 3;
    s.AddEntry(Named("a"));
    s.NewSet();
    EXPECT_TRUE(s.entries.empty());
    EXPECT_EQ(s.settings.retryMinutes, 3u);
}

TEST(Station, LoadReplacesTheListAndSetsTheLinkPortFromTheComPort) {
    testing::TempDir dir;
    Station source;
    source.settings.comPort = 4;
    source.AddEntry(Named("from file"));
    ASSERT_TRUE(SaveBackupSet(source, dir / "set.ini"));

    Station s;
    s.AddEntry(Named("old"));
    const auto report = LoadBackupSet(s, dir / "set.ini", 0);
    ASSERT_TRUE(report.has_value());
    EXPECT_EQ(Names(s), std::vector<std::string>{"from file"});
    EXPECT_EQ(s.settings.comPort, 4u);
    EXPECT_EQ(uint16_t{s.record.port}, 3);
}

TEST(Station, LoadOfAMissingFileChangesNothing) {
    testing::TempDir dir;
    Station s;
    s.AddEntry(Named("kept"));
    EXPECT_FALSE(LoadBackupSet(s, dir / "missing.ini", 0).has_value());
    EXPECT_EQ(Names(s), std::vector<std::string>{"kept"});
}

TEST(Station, SaveIntoAMissingDirectoryFailsWithoutLeavingFiles) {
    testing::TempDir dir;
    Station s;
    EXPECT_FALSE(SaveBackupSet(s, dir / "no" / "set.ini"));
    EXPECT_TRUE(std::filesystem::is_empty(dir.path()));
}

}  // namespace
}  // namespace vaultra::app

namespace vaultra::app {
namespace {

TEST(Station, DeleteAtRemovesExactlyTheNamedPositions) {
    Station s;
    for (const char* name : {"a", "b", "c", "d"}) {
        s.AddEntry(Named(name, std::string(name) == "d"));
    }
    EXPECT_EQ(s.DeleteAt({2, 0, 2, 9}), 2u);
    EXPECT_EQ(Names(s), (std::vector<std::string>{"b", "d"}));  // the marked "d" is not touched
    s.runBusy = true;
    EXPECT_EQ(s.DeleteAt({0}), 0u);
    EXPECT_EQ(s.entries.size(), 2u);
}

}  // namespace
}  // namespace vaultra::app
