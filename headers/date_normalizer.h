// Rewriting of a Date header line as year/month/day time.
#pragma once

#include <string>
#include <string_view>

namespace tarsel {

struct NormalizedDate {
    std::string text;      // "yy/mm/dd time"
    std::string_view day;  // the trimmed day piece of the line, before it is padded
};

// Cuts the line after its first comma at single blanks into day, month, year and time.
// A piece with no blank after it is the rest of the text; a month that is none of the
// twelve names gives "00"; a year shorter than two bytes stays as it is. The day is a piece
// of line, which must outlive it.
NormalizedDate NormalizeDate(std::string_view line);
// The same, the text written over text (which keeps its room); returns the day piece.
std::string_view NormalizeDateInto(std::string_view line, std::string& text);

}  // namespace tarsel
