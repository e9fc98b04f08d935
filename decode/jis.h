// JIS X 0208 <-> Shift-JIS arithmetic and the ISO-2022-JP to Shift-JIS conversion.
#pragma once

#include <string>
#include <string_view>

namespace tarsel {

// Shift-JIS lead bytes: 0x81-0x9F and 0xE0-0xFC.
bool IsSjisLeadByte(unsigned char byte);

// A byte of a JIS X 0208 pair: 0x21..0x7E.
constexpr bool IsJisByte(unsigned byte) {
    return byte >= 0x21 && byte <= 0x7E;
}

// JIS X 0208 code (high byte << 8 | low byte) to its Shift-JIS code; 0 when either byte lies
// outside 0x21..0x7E. Inline: it runs once a character in every text loop.
constexpr unsigned JisToSjis(unsigned jisCode) {
    const unsigned high = jisCode >> 8;
    const unsigned low = jisCode & 0xFF;
    if (!IsJisByte(high) || !IsJisByte(low)) {
        return 0;
    }
    unsigned sjisLow;
    if (high & 1) {
        sjisLow = low <= 0x5F ? low + 0x1F : low + 0x20;
    } else {
        sjisLow = low + 0x7E;
    }
    unsigned sjisHigh = ((high - 0x21) >> 1) + 0x81;
    if (sjisHigh > 0x9F) {
        sjisHigh += 0x40;
    }
    return (sjisHigh << 8) | sjisLow;
}

// Shift-JIS code to its JIS X 0208 code; 0 unless both resulting bytes lie in 0x21..0x7E
// (lead 0x81-0x9F or 0xE0-0xEF, trail 0x40-0x7E or 0x80-0xFC).
unsigned SjisToJis(unsigned sjisCode);

// Converts a Shift-JIS search string to bare JIS pairs, pair by position; pairs that do not
// convert and an odd last byte are dropped.
void ConvertPatternToJis(std::string& pattern);

// Replaces the bytes of one two-byte segment (escapes already removed) by their Shift-JIS
// form, pair by pair; invalid pairs and an odd last byte are dropped.
void ConvertJisPairs(std::string& segment);

// Converts ISO-2022-JP text to Shift-JIS. Segments run from ESC $ B to the next ESC ( B or
// ESC ( J (or to the end); everything outside them is copied byte for byte. Every call
// starts in single-byte mode.
std::string ConvertJisToSjis(std::string_view text);
// The same, appended to out.
void AppendJisAsSjis(std::string_view text, std::string& out);
// The same, written at to, which has room for size bytes and may be text itself: the
// conversion never writes ahead of what it reads. Returns the end of what it wrote; with
// pairsOnly, also whether that is Shift-JIS pairs alone (the text was one two-byte run).
char* WriteJisAsSjis(const char* text, std::size_t size, char* to, bool* pairsOnly = nullptr);

}  // namespace tarsel
