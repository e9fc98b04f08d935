// Calendar arithmetic and date texts of generated mails.
#include "bench/archive_generator_clock.h"

#include <cctype>
#include <cstdio>

namespace tarsel::archive {
namespace {

constexpr const char* kWeekdayNames[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
constexpr const char* kMonthNames[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                       "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// Days since 1970-01-01 of a proleptic Gregorian date (the well-known era arithmetic).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::string Format(const char* pattern, auto... args) {
    char buffer[96];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, args...);
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string MonthText(int month, int letterCase) {
    std::string text = kMonthNames[month - 1];
    for (char& c : text) {
        if (letterCase == 1) {
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        } else if (letterCase == 2) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
    }
    return text;
}

}  // namespace

std::int64_t SecondsAt(int year, int month, int day) {
    return DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day)) * 86400;
}

CivilTime ToCivil(std::int64_t seconds) {
    std::int64_t days = seconds / 86400;
    std::int64_t rest = seconds % 86400;
    if (rest < 0) {
        rest += 86400;
        --days;
    }
    CivilTime t{};
    t.hour = static_cast<int>(rest / 3600);
    t.minute = static_cast<int>(rest / 60 % 60);
    t.second = static_cast<int>(rest % 60);
    t.weekday = static_cast<int>((days % 7 + 11) % 7);  // 1970-01-01 was a Thursday

    const std::int64_t z = days + 719468;
    const std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = static_cast<unsigned>(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    t.day = static_cast<int>(doy - (153 * mp + 2) / 5 + 1);
    t.month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    t.year = static_cast<int>(static_cast<std::int64_t>(yoe) + era * 400 + (t.month <= 2));
    return t;
}

std::string StampDate(const CivilTime& t) {
    return Format("%s, %d %s %d %02d:%02d:%02d +0900", kWeekdayNames[t.weekday], t.day,
                  kMonthNames[t.month - 1], t.year, t.hour, t.minute, t.second);
}

std::string DateHeaderValue(const CivilTime& t, SplitMix64& rng) {
    const std::string time = Format("%02d:%02d:%02d", t.hour, t.minute, t.second);
    const char* weekday = kWeekdayNames[t.weekday];
    const std::string month = MonthText(t.month, 0);
    switch (rng.Weighted({35, 20, 15, 8, 7, 8, 7})) {
        case 0:  // Tue, 7 Dec 1999 12:34:56 +0900
            return Format("%s, %d %s %d %s +0900", weekday, t.day, month.c_str(), t.year,
                          time.c_str());
        case 1:  // Tue, 07 Dec 1999 12:34:56 +0900
            return Format("%s, %02d %s %d %s +0900", weekday, t.day, month.c_str(), t.year,
                          time.c_str());
        case 2:  // Mon, 06 Mar 2000 09:05:00 +0900 (JST)
            return Format("%s, %02d %s %d %s +0900 (JST)", weekday, t.day, month.c_str(), t.year,
                          time.c_str());
        case 3: {  // month in lower or upper case
            const std::string cased = MonthText(t.month, 1 + static_cast<int>(rng.Below(2)));
            return Format("%s, %d %s %d %s +0900", weekday, t.day, cased.c_str(), t.year,
                          time.c_str());
        }
        case 4:  // no weekday
            return Format("%d %s %d %s +0900", t.day, month.c_str(), t.year, time.c_str());
        case 5:  // no zone
            return Format("%s, %d %s %d %s", weekday, t.day, month.c_str(), t.year, time.c_str());
        default:  // two-digit year
            return Format("%s, %d %s %02d %s +0900", weekday, t.day, month.c_str(), t.year % 100,
                          time.c_str());
    }
}

std::string RareDateHeaderValue(const CivilTime& t, SplitMix64& rng) {
    const char* weekday = kWeekdayNames[t.weekday];
    const char* month = kMonthNames[t.month - 1];
    switch (rng.Below(4)) {
        case 0:  // Tue, 7 Dec 1999 12:34 +0900
            return Format("%s, %d %s %d %02d:%02d +0900", weekday, t.day, month, t.year, t.hour,
                          t.minute);
        case 1:  // Tue,  7  Dec  1999  12:34:56  +0900
            return Format("%s,  %d  %s  %d  %02d:%02d:%02d  +0900", weekday, t.day, month, t.year,
                          t.hour, t.minute, t.second);
        case 2:  // 7 Dec 99 12:34:56 +0900
            return Format("%d %s %02d %02d:%02d:%02d +0900", t.day, month, t.year % 100, t.hour,
                          t.minute, t.second);
        default:  // 7 Dec 1999 12:34:56 +0900 (JST)
            return Format("%d %s %d %02d:%02d:%02d +0900 (JST)", t.day, month, t.year, t.hour,
                          t.minute, t.second);
    }
}

std::string SeparatorDate(const CivilTime& t) {
    return Format("%s %s %2d %02d:%02d:%02d %d", kWeekdayNames[t.weekday], kMonthNames[t.month - 1],
                  t.day, t.hour, t.minute, t.second, t.year);
}

}  // namespace tarsel::archive
