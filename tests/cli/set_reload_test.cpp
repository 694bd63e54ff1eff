#include <gtest/gtest.h>

#include "app/element.h"
#include "cli/set_reload.h"
#include "cli/terminal_text.h"
#include "platform/files.h"
#include "temp_dir.h"

namespace vaultra::cli {
namespace {

app::CElement Entry(const std::string& name, uint8_t hour, uint32_t next) {
    app::CElement e;
    e.name = name;
    e.SetIntervalKind(app::IntervalKind::Daily);
    e.hour = hour;
    e.minute = 0;
    e.nextBackup = next;
    return e;
}

TEST(SetReload, MatchedEntriesKeepResultBitsAndTheirDueTimeOnlyWhileTheScheduleStays) {
    app::Station station;
    station.settings.adapterName = "eth0";
    station.entries.Append(Entry("A", 6, 1000)).Set(app::flag::kLastFailed, true);
    station.entries.Append(Entry("B", 6, 2000)).Set(app::flag::kLastSucceeded, true);

    app::Station loaded;
    loaded.settings.retryMinutes = 3;
    loaded.entries.Append(Entry("B", 7, 9000));  // schedule changed: its own due time
    loaded.entries.Append(Entry("C", 6, 7000));  // new
    loaded.entries.Append(Entry("A", 6, 5000));  // same schedule: keeps 1000
    TakeReloadedSet(station, std::move(loaded));

    ASSERT_EQ(station.entries.size(), 3u);
    EXPECT_EQ(station.entries[0].name, "B");
    EXPECT_EQ(station.entries[0].nextBackup, 9000u);
    EXPECT_TRUE(station.entries[0].Has(app::flag::kLastSucceeded));
    EXPECT_EQ(station.entries[1].nextBackup, 7000u);
    EXPECT_FALSE(station.entries[1].Has(app::flag::kLastSucceeded | app::flag::kLastFailed));
    EXPECT_EQ(station.entries[2].nextBackup, 1000u);
    EXPECT_TRUE(station.entries[2].Has(app::flag::kLastFailed));
    EXPECT_EQ(station.settings.retryMinutes, 3u);
    EXPECT_EQ(station.settings.adapterName, "eth0");
}

TEST(SetReload, WatcherReportsOnlyRealChanges) {
    vaultra::testing::TempDir dir;
    const auto path = dir.path() / "set.ini";
    ASSERT_TRUE(platform::WriteFileReplacing(path, "one"));
    SetFileWatcher watcher(path);
    EXPECT_FALSE(watcher.ChangedBytes());
    ASSERT_TRUE(platform::WriteFileReplacing(path, "two!"));
    EXPECT_EQ(watcher.ChangedBytes().value_or(""), "two!");
    EXPECT_FALSE(watcher.ChangedBytes());
    ASSERT_TRUE(platform::WriteFileReplacing(path, "two!"));  // rewritten, same bytes
    EXPECT_FALSE(watcher.ChangedBytes());
    std::filesystem::remove(path);
    EXPECT_FALSE(watcher.ChangedBytes());
}

TEST(TerminalText, ControlCharactersNeverReachTheTerminal) {
    EXPECT_EQ(Printable("Presse\x1b[2J 1\x07"), "Presse?[2J 1?");
    EXPECT_EQ(Printable("a\nb\rc\x7f"), "a b c?");
    EXPECT_EQ(Printable("C1 \xC2\x9B"
                        "31m, \xC3\xBC stays"),
              "C1 ?31m, \xC3\xBC stays");
}

}  // namespace
}  // namespace vaultra::cli
