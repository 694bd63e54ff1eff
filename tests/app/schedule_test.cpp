#include "app/schedule.h"

#include <gtest/gtest.h>

#include "berlin_time.h"
#include "platform/time.h"

namespace vaultra::app {
namespace {

using testing::Berlin;

class ScheduleTest : public ::testing::Test {
protected:
    void SetUp() override { testing::UseBerlinTime(); }

    static CElement Entry(IntervalKind kind, int day, int hour, int minute) {
        CElement e;
        e.flags = 0;
        e.SetIntervalKind(kind);
        e.day = static_cast<uint8_t>(day);
        e.hour = static_cast<uint8_t>(hour);
        e.minute = static_cast<uint8_t>(minute);
        return e;
    }
    static std::string Next(CElement e, int64_t now) {
        ComputeNextBackup(e, now);
        return platform::FormatLocalTime(e.nextBackup, "%a %d.%m.%Y %H:%M:%S");
    }
};

TEST_F(ScheduleTest, DailyKeepsAnEqualTimeTodayAndMovesALaterOneToTomorrow) {
    const CElement e = Entry(IntervalKind::Daily, 255, 6, 0);
    EXPECT_EQ(Next(e, Berlin(2026, 6, 10, 6, 0, 0)), "Wed 10.06.2026 06:00:00");
    EXPECT_EQ(Next(e, Berlin(2026, 6, 10, 6, 0, 1)), "Thu 11.06.2026 06:00:00");
    EXPECT_EQ(Next(e, Berlin(2026, 6, 10, 5, 59, 59)), "Wed 10.06.2026 06:00:00");
}

TEST_F(ScheduleTest, WeeklyFindsTheNextChosenWeekday) {
    const CElement sunday = Entry(IntervalKind::Weekly, 1, 12, 0);
    EXPECT_EQ(Next(sunday, Berlin(2026, 6, 13, 9, 0)), "Sun 14.06.2026 12:00:00");   // from a Saturday
    EXPECT_EQ(Next(sunday, Berlin(2026, 6, 14, 13, 0)), "Sun 21.06.2026 12:00:00");  // Sunday, time passed
    EXPECT_EQ(Next(sunday, Berlin(2026, 6, 14, 11, 0)), "Sun 14.06.2026 12:00:00");  // Sunday, still ahead
    const CElement friday = Entry(IntervalKind::Weekly, 6, 7, 30);
    EXPECT_EQ(Next(friday, Berlin(2026, 6, 10, 8, 0)), "Fri 12.06.2026 07:30:00");  // weekday before
    EXPECT_EQ(Next(friday, Berlin(2026, 6, 13, 8, 0)), "Fri 19.06.2026 07:30:00");  // weekday after
}

TEST_F(ScheduleTest, WeeklyAcrossTheSpringChangeMovesTheWallClockByOneHour) {
    // Days are added as 86400-second spans, so a Wednesday-to-Sunday step over the change lands at 13:00.
    const CElement sunday = Entry(IntervalKind::Weekly, 1, 12, 0);
    EXPECT_EQ(Next(sunday, Berlin(2026, 3, 25, 10, 0)), "Sun 29.03.2026 13:00:00");
    // And in autumn an hour earlier.
    EXPECT_EQ(Next(sunday, Berlin(2026, 10, 21, 10, 0)), "Sun 25.10.2026 11:00:00");
}

TEST_F(ScheduleTest, MonthlyRollsOverLikeMktimeAndIntoTheNextYear) {
    EXPECT_EQ(Next(Entry(IntervalKind::Monthly, 31, 0, 0), Berlin(2026, 4, 15, 12, 0)),
              "Fri 01.05.2026 00:00:00");
    EXPECT_EQ(Next(Entry(IntervalKind::Monthly, 31, 6, 0), Berlin(2026, 12, 31, 8, 0)),
              "Sun 31.01.2027 06:00:00");
    EXPECT_EQ(Next(Entry(IntervalKind::Monthly, 10, 6, 0), Berlin(2026, 6, 15, 8, 0)),
              "Fri 10.07.2026 06:00:00");
    EXPECT_EQ(Next(Entry(IntervalKind::Monthly, 15, 8, 0), Berlin(2026, 6, 15, 8, 0)),
              "Mon 15.06.2026 08:00:00");
}

TEST_F(ScheduleTest, EveryAndTriggerCountFromNow) {
    const int64_t now = Berlin(2026, 6, 10, 10, 0);
    EXPECT_EQ(Next(Entry(IntervalKind::Every, 255, 1, 30), now), "Wed 10.06.2026 11:30:00");
    CElement trigger = Entry(IntervalKind::PlcTrigger, 255, 255, 255);
    trigger.triggerInterval = 90;
    ComputeNextBackup(trigger, now);
    EXPECT_EQ(trigger.nextBackup, now + 90);
    CElement zero = Entry(IntervalKind::Every, 255, 0, 0);
    ComputeNextBackup(zero, now);
    EXPECT_EQ(zero.nextBackup, now);
}

TEST_F(ScheduleTest, NeverIsZeroAndUndefinedKindsKeepTheirTime) {
    CElement never = Entry(IntervalKind::Never, 255, 255, 255);
    never.nextBackup = 1234;
    ComputeNextBackup(never, Berlin(2026, 6, 10, 10, 0));
    EXPECT_EQ(never.nextBackup, 0u);

    CElement odd;
    odd.flags = 0x0007;
    odd.nextBackup = 0x12345678;
    ComputeNextBackup(odd, Berlin(2026, 6, 10, 10, 0));
    EXPECT_EQ(odd.nextBackup, 0x12345678u);
    EXPECT_EQ(EffectiveIntervalKind(odd), IntervalKind::Never);
}

TEST_F(ScheduleTest, MonthlyDayZeroAndWeeklyWithoutWeekdayHaveNoNextTime) {
    for (CElement e : {Entry(IntervalKind::Monthly, 0, 6, 0), Entry(IntervalKind::Weekly, 0, 6, 0),
                       Entry(IntervalKind::Weekly, 255, 6, 0)}) {
        e.nextBackup = 99;
        ComputeNextBackup(e, Berlin(2026, 6, 10, 10, 0));
        EXPECT_EQ(e.nextBackup, 0u);
        EXPECT_EQ(EffectiveIntervalKind(e), IntervalKind::Never);
    }
}

TEST(WeekdayTexts, LookupMatchesTheStartIgnoringCase) {
    EXPECT_EQ(WeekdayIndex("Son"), 1);
    EXPECT_EQ(WeekdayIndex("sam"), 7);
    EXPECT_EQ(WeekdayIndex("Dienstag"), 3);
    EXPECT_EQ(WeekdayIndex("---"), 0);
    EXPECT_EQ(WeekdayIndex("So"), 255);
    EXPECT_EQ(WeekdayIndex("Sun"), 255);
    EXPECT_EQ(WeekdayText(4), "Mit");
    EXPECT_EQ(WeekdayText(255), "---");
}

TEST(IntervalTexts, AreTheListColumnForEveryKind) {
    CElement e;
    e.flags = 0;
    e.hour = 1;
    e.minute = 5;
    e.day = 3;
    EXPECT_EQ(IntervalText(e), "Alle        01:05");
    e.SetIntervalKind(IntervalKind::Daily);
    EXPECT_EQ(IntervalText(e), "T\xC3\xA4glich um  01:05");
    e.SetIntervalKind(IntervalKind::Weekly);
    EXPECT_EQ(IntervalText(e), "Die um 01:05");
    e.SetIntervalKind(IntervalKind::Monthly);
    EXPECT_EQ(IntervalText(e), "am 03. um 01:05");
    e.SetIntervalKind(IntervalKind::Never);
    EXPECT_EQ(IntervalText(e), "nie                 ");
    e.SetIntervalKind(IntervalKind::PlcTrigger);
    EXPECT_EQ(IntervalText(e), "per SPS-Trigger     ");
    e.flags = 0x000C;
    EXPECT_EQ(IntervalText(e), "--------------------");
}

}  // namespace
}  // namespace vaultra::app
