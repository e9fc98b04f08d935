// Calendar arithmetic and the date texts of generated mails: the Date header in the shapes
// mailers really wrote, the Received time stamp and the separator line's time.
#pragma once

#include <cstdint>
#include <string>

#include "bench/archive_generator_random.h"

namespace tarsel::archive {

struct CivilTime {
    int year;
    int month;  // 1 to 12
    int day;    // 1 to 31
    int hour;
    int minute;
    int second;
    int weekday;  // 0 Sunday to 6 Saturday
};

// Seconds since 1970-01-01 00:00:00 of the zone the mails are written in.
std::int64_t SecondsAt(int year, int month, int day);
CivilTime ToCivil(std::int64_t seconds);

// "Tue, 7 Dec 1999 12:34:56 +0900", as transfer agents stamp it.
std::string StampDate(const CivilTime& t);

// A Date header value in one of the shapes seen in old archives: one- or two-digit day,
// month in any case, with or without weekday, zone or zone comment, two-digit year.
std::string DateHeaderValue(const CivilTime& t, SplitMix64& rng);

// A Date value in a rarer shape, typed by hand or written by a careless mailer: no seconds,
// double blanks between the pieces, a two-digit year without weekday, or a zone comment
// after no weekday.
std::string RareDateHeaderValue(const CivilTime& t, SplitMix64& rng);

// "Tue Dec  7 12:34:56 1999", the time of a "From " separator line.
std::string SeparatorDate(const CivilTime& t);

}  // namespace tarsel::archive
