#include "app/schedule.h"

#include <cctype>
#include <cstdio>
#include <vector>

#include "app/text_catalogue.h"
#include "platform/time.h"

namespace vaultra::app {

namespace {

constexpr int64_t kDay = 86400;

int64_t TodayAt(const platform::LocalDateTime& today, int hour, int minute) {
    return platform::FromLocalTime(today.year, today.month, today.day, hour, minute, 0);
}

int64_t NextDaily(const CElement& e, int64_t now) {
    int64_t t = TodayAt(platform::ToLocalTime(now), e.hour, e.minute);
    if (t < now) {
        t += kDay;
    }
    return t;
}

int64_t NextWeekly(const CElement& e, int64_t now) {
    const auto today = platform::ToLocalTime(now);
    int64_t t = TodayAt(today, e.hour, e.minute);
    const int w = today.weekday + 1;
    const int day = e.day;
    if (w == day) {
        if (t < now) {
            t += 7 * kDay;
        }
    } else if (w < day) {
        t += (day - w) * kDay;
    } else {
        t += (7 - (w - day)) * kDay;
    }
    return t;
}

int64_t NextMonthly(const CElement& e, int64_t now) {
    const auto today = platform::ToLocalTime(now);
    const int64_t t = platform::FromLocalTime(today.year, today.month, e.day, e.hour, e.minute, 0);
    if (t >= now) {
        return t;
    }
    if (platform::ToLocalTime(t).month == 12) {
        return platform::FromLocalTime(today.year + 1, 1, e.day, e.hour, e.minute, 0);
    }
    return platform::FromLocalTime(today.year, today.month + 1, e.day, e.hour, e.minute, 0);
}

std::string Format(const char* format, int a, int b, int c = 0) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, format, a, b, c);
    return buffer;
}

}  // namespace

void ComputeNextBackup(CElement& e, int64_t now) {
    if (e.IntervalKindValue() > static_cast<uint8_t>(IntervalKind::PlcTrigger)) {
        return;
    }
    int64_t next = 0;
    switch (EffectiveIntervalKind(e)) {
        case IntervalKind::Every:
            next = now + e.hour * int64_t{3600} + e.minute * int64_t{60};
            break;
        case IntervalKind::Daily:
            next = NextDaily(e, now);
            break;
        case IntervalKind::Weekly:
            next = NextWeekly(e, now);
            break;
        case IntervalKind::Monthly:
            next = NextMonthly(e, now);
            break;
        case IntervalKind::Never:
            next = 0;
            break;
        case IntervalKind::PlcTrigger:
            next = now + e.triggerInterval;
            break;
    }
    e.nextBackup = static_cast<uint32_t>(static_cast<uint64_t>(next));
}

std::string WeekdayText(int index) {
    if (index < 0 || index > 7) {
        return "---";
    }
    return std::string(kWeekdayTexts.substr(static_cast<size_t>(index) * 4, 3));
}

uint8_t WeekdayIndex(std::string_view text) {
    for (int i = 0; i <= 7; ++i) {
        const std::string part = WeekdayText(i);
        if (text.size() < part.size()) {
            continue;
        }
        bool equal = true;
        for (size_t k = 0; k < part.size() && equal; ++k) {
            equal = std::toupper(static_cast<unsigned char>(part[k])) ==
                    std::toupper(static_cast<unsigned char>(text[k]));
        }
        if (equal) {
            return static_cast<uint8_t>(i);
        }
    }
    return 255;
}

std::string IntervalText(const CElement& e) {
    switch (e.IntervalKindValue()) {
        case 0:
            return Format(Tr("Alle        %02d:%02d"), e.hour, e.minute);
        case 1:
            return Format(Tr("T\xC3\xA4glich um  %02d:%02d"), e.hour, e.minute);
        case 2:
            return Tr(WeekdayText(e.day)) + Format(Tr(" um %02d:%02d"), e.hour, e.minute);
        case 3:
            return Format(Tr("am %02d. um %02d:%02d"), e.day, e.hour, e.minute);
        case 4:
            return Tr("nie                 ");
        case 5:
            return Tr("per SPS-Trigger     ");
        default:
            return "--------------------";
    }
}

}  // namespace vaultra::app
