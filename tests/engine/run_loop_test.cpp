#include <gtest/gtest.h>

#include "app/recording_front_end.h"
#include "app/run_loop.h"
#include "app/schedule.h"
#include "platform/time.h"
#include "tests/engine/engine_test_support.h"

namespace vaultra::app {
namespace {

using Kind = RecordingFrontEnd::Kind;

int64_t At(int hour, int minute, int second = 0) {
    return platform::FromLocalTime(2026, 12, 8, hour, minute, second);
}

class RunLoopTest : public ::testing::Test {
protected:
    RunLoopTest()
        : clock(At(8, 0)),
          drivers(station, ui, {}, CNetworkCard([] { return std::vector<NetworkAdapter>{}; })),
          engine(station, ui, clock, drivers) {
        // The procedure under the loop: records the run, takes `duration` seconds, returns `result`.
        engine.backupS7 = [this](CElement& e) {
            runs.push_back(e.name);
            clock.now += duration;
            if (during) {
                during();
            }
            return result;
        };
    }

    CElement& Add(const std::string& name, IntervalKind kind, uint8_t hour = 0, uint8_t minute = 0) {
        CElement e;
        e.name = name;
        e.flags = flag::kS7Rfc1006;
        e.SetIntervalKind(kind);
        e.hour = hour;
        e.minute = minute;
        station.entries.Append(e);
        return station.entries[station.entries.size() - 1];
    }

    Station station;
    RecordingFrontEnd ui;
    engine_test::FakeClock clock;
    DriverBinding drivers;
    Engine engine;
    std::vector<std::string> runs;
    int64_t duration = 0;
    int result = 1;
    std::function<void()> during;
};

TEST_F(RunLoopTest, DueEntriesRunInListOrderInOnePassAndOthersWait) {
    Add("A", IntervalKind::Every, 0, 30);
    Add("never", IntervalKind::Never);
    Add("later", IntervalKind::Every, 1, 0).nextBackup = static_cast<uint32_t>(At(8, 0, 1));
    Add("B", IntervalKind::Every, 0, 30);
    engine.TimerTick();
    EXPECT_EQ(runs, (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(station.runBusy);
    EXPECT_EQ(ui.Count(Kind::Repaint), 2);
    ASSERT_EQ(ui.Count(Kind::Clock), 1);
    EXPECT_EQ(ui.events.front().text, "08.12.2026 08:00:00");

    clock.now = At(8, 0, 1);
    engine.TimerTick();
    EXPECT_EQ(runs.back(), "later");
}

TEST_F(RunLoopTest, FailureIsRetriedFromTheStartOfThePassHoweverLongItTook) {
    station.settings.retryMinutes = 10;
    CElement& e = Add("A", IntervalKind::Every, 0, 30);
    result = 0;
    duration = 7 * 60;
    engine.TimerTick();
    EXPECT_EQ(e.nextBackup, static_cast<uint32_t>(At(8, 10)));

    clock.now = At(8, 9, 59);
    engine.TimerTick();
    EXPECT_EQ(runs.size(), 1u);
    clock.now = At(8, 10, 0);
    engine.TimerTick();
    EXPECT_EQ(runs.size(), 2u);
}

TEST_F(RunLoopTest, SuccessIsRescheduledFromTheEndOfTheRun) {
    CElement& e = Add("A", IntervalKind::Every, 0, 30);
    duration = 5 * 60;
    engine.TimerTick();
    EXPECT_EQ(e.nextBackup, static_cast<uint32_t>(At(8, 35)));
}

TEST_F(RunLoopTest, TickOrRunAllDuringARunStartsNothing) {
    Add("A", IntervalKind::Every, 0, 30);
    Add("B", IntervalKind::Every, 0, 30);
    bool nestedRunAll = true;
    during = [&] {
        EXPECT_TRUE(station.runBusy);
        engine.TimerTick();
        nestedRunAll = engine.BackupAll();
    };
    engine.TimerTick();
    EXPECT_EQ(runs, (std::vector<std::string>{"A", "B"}));
    EXPECT_FALSE(nestedRunAll);
    EXPECT_EQ(ui.Count(Kind::Clock), 1);
}

TEST_F(RunLoopTest, RunAllRunsEveryEntryWhateverItsScheduleAndKeepsTheSchedules) {
    Add("A", IntervalKind::Never);
    CElement& b = Add("B", IntervalKind::Daily, 6, 0);
    ComputeNextBackup(b, clock.now);
    const uint32_t scheduled = b.nextBackup;
    result = 0;
    EXPECT_FALSE(engine.BackupAll());
    EXPECT_EQ(runs, (std::vector<std::string>{"A", "B"}));
    EXPECT_EQ(b.nextBackup, scheduled);
    EXPECT_FALSE(station.runBusy);
    EXPECT_EQ(ui.Count(Kind::Busy), 2);

    result = 1;
    runs.clear();
    EXPECT_TRUE(engine.BackupEntries({1}));
    EXPECT_EQ(runs, std::vector<std::string>{"B"});
    EXPECT_FALSE(engine.BackupEntries({2}));
}

TEST_F(RunLoopTest, QuitRequestStopsThePassAfterTheCurrentRun) {
    Add("A", IntervalKind::Every, 0, 30);
    Add("B", IntervalKind::Every, 0, 30);
    during = [this] { ui.quit = true; };
    engine.TimerTick();
    EXPECT_EQ(runs, std::vector<std::string>{"A"});
    EXPECT_FALSE(engine.BackupAll());
    EXPECT_EQ(runs.size(), 1u);
}

TEST_F(RunLoopTest, EscapeBeforeTheRunIsForgottenAndS5EntriesWithoutTheirLibraryFail) {
    CElement& s5 = Add("S5", IntervalKind::Every, 0, 30);
    s5.flags = static_cast<uint16_t>((s5.flags & ~flag::kInterfaceMask) | flag::kS5Lan);
    engine.TimerTick();
    EXPECT_TRUE(runs.empty());
    EXPECT_EQ(ui.forgetCount, 1);
    EXPECT_TRUE(s5.Has(flag::kLastFailed));
    EXPECT_EQ(ui.Messages(), std::vector<std::string>{"libTARN5IP.so nicht gefunden!"});
    EXPECT_EQ(ui.StatusTexts().back(), "AG nicht ansprechbar.");
    EXPECT_EQ(s5.nextBackup, static_cast<uint32_t>(At(8, 10)));
}

TEST_F(RunLoopTest, TriggerEntriesArePolledThroughTheTriggerCheck) {
    CElement& t = Add("T", IntervalKind::PlcTrigger);
    t.triggerInterval = 90;
    int polls = 0;
    engine.checkTrigger = [&](CElement&) {
        ++polls;
        return 1;
    };
    engine.TimerTick();
    EXPECT_EQ(polls, 1);
    EXPECT_TRUE(runs.empty());
    EXPECT_EQ(t.nextBackup, static_cast<uint32_t>(At(8, 1, 30)));
}

}  // namespace
}  // namespace vaultra::app
