// When an entry is due: the next backup time and the schedule's texts.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "app/element.h"

namespace vaultra::app {

// Sets e.nextBackup (low 32 bits of seconds since 1970) from the interval kind, computed against `now` with
// local calendar rules:
//   Every: now + hours and minutes.  Daily: today at hour:minute, tomorrow when that has passed.
//   Weekly: the next weekday `day` (1 = Sunday) at hour:minute, days added as 86400-second spans.
//   Monthly: day `day` of this month (rolling over like mktime), else of the next month.
//   Never: 0.  PlcTrigger: now + triggerInterval.
// Kinds above PlcTrigger leave nextBackup unchanged. A Monthly entry on day 0 and a Weekly entry without a
// weekday 1..7 have no next time: nextBackup becomes 0 and EffectiveIntervalKind reports Never.
void ComputeNextBackup(CElement& e, int64_t now);

// Weekday texts "---|Son|Mon|Die|Mit|Don|Fre|Sam": index 0 "---", 1 "Son" (Sunday) .. 7 "Sam".
inline constexpr std::string_view kWeekdayTexts = "---|Son|Mon|Die|Mit|Don|Fre|Sam";
// The text of weekday index 0..7, "---" for any other index.
std::string WeekdayText(int index);
// Index of the first weekday text whose characters equal the start of `text`, ignoring case; 255 when none.
uint8_t WeekdayIndex(std::string_view text);

// The list's interval text (20 characters, "--------------------" for an undefined kind).
std::string IntervalText(const CElement& e);

}  // namespace vaultra::app
