// Rewriting of a Date field's value as year/month/day time.
#pragma once

#include <string>
#include <string_view>

namespace tarsel {

// Reads the value as a date and time of mail: an optional day name (with or without its comma),
// the day (1 or 2 digits), the month's name in any case, the year (2 to 4 digits) and the time
// (h:mm or h:mm:ss), any run of blanks or comments between them, the zone and anything after the
// time ignored. Writes "yy/mm/dd time" over text: the year's last two digits, the month's
// number, the day in two digits, the time as written. A value that is no such date leaves text
// empty and gives false.
bool NormalizeDateInto(std::string_view value, std::string& text);
// The day the value names, read as above, as yyyymmdd (a two-digit year 00-49 in 2000-2049,
// 50-99 and three digits in the 1900s); 0 when the value is no date.
int MailDay(std::string_view value);
// The same as a new string; empty when the value is no date.
std::string NormalizeDate(std::string_view value);

}  // namespace tarsel
