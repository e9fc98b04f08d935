// The CP932 -> UTF-8 table, derived from the iconv-based conversion.
#include "decode/cp932_table.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decode/cp932.h"
#include "decode/safe_text.h"

namespace tarsel {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD
// Separates the pairs of one row in a single converter call. It is never a trail byte, and a
// lead before it is read alone, exactly as a lead at the end of the text is.
constexpr char kSeparator = '\n';

}  // namespace

const Cp932Table& Cp932Table::Get() {
    static const Cp932Table table;
    return table;
}

bool Cp932Table::Store(std::string_view utf8, Entry& entry) {
    if (utf8.size() > sizeof entry.bytes) {
        return false;
    }
    std::copy(utf8.begin(), utf8.end(), entry.bytes);
    // What a column escapes, JSON escapes too: most characters need one look only.
    const bool jsonPlain = NothingToEscape(utf8, true);
    const bool textPlain = jsonPlain || NothingToEscape(utf8, false);
    entry.size = static_cast<std::uint8_t>(utf8.size() | (textPlain ? 0 : kTextEscapes) |
                                           (jsonPlain ? 0 : kJsonEscapes));
    return true;
}

Cp932Table::Cp932Table() {
    for (int byte = 0; byte < 256; ++byte) {
        const char c = static_cast<char>(byte);
        const std::string utf8 = Cp932ToUtf8(std::string_view(&c, 1));
        complete_ = Store(utf8, single_[byte]) && complete_;
    }
    // A byte that converts on its own to a character is never the lead of a pair; only the
    // others (leads and bytes that do not decode) get a row, filled when first needed.
    std::size_t rows = 1;  // the empty row: no byte starts a pair with it
    for (int byte = 0; byte < 256; ++byte) {
        const std::string_view single = Single(static_cast<unsigned char>(byte));
        const bool lead = single == kReplacement;
        pairRow_[byte] = lead ? 256 * rows++ : kEmptyRow;
        rowState_[byte].store(lead ? kUnfilled : kFilled);
        const bool plain = !lead && single.size() == 1 && single[0] == static_cast<char>(byte);
        asciiPlain_ = asciiPlain_ && (byte >= 0x80 || plain);
    }
    pairs_.resize(256 * rows);
}

bool Cp932Table::FillRow(unsigned char lead) const {
    const std::lock_guard<std::mutex> lock(fill_[lead]);
    if (const RowState state = rowState_[lead].load(); state != kUnfilled) {
        return state == kFilled;  // filled by another thread meanwhile
    }
    // One call for the whole row: lead, trail, separator for every trail but the separator.
    std::string batch;
    for (int trail = 0; trail < 256; ++trail) {
        if (trail != kSeparator) {
            batch += static_cast<char>(lead);
            batch += static_cast<char>(trail);
            batch += kSeparator;
        }
    }
    const std::string converted = Cp932ToUtf8(batch);
    std::vector<std::string_view> pieces;
    for (std::string_view rest = converted; !rest.empty();) {
        const std::size_t end = rest.find(kSeparator);
        pieces.push_back(rest.substr(0, end));
        rest.remove_prefix(end == std::string_view::npos ? rest.size() : end + 1);
    }
    const bool split = pieces.size() == 255;

    Entry* const row = pairs_.data() + pairRow_[lead];
    bool fits = true;
    for (int trail = 0, piece = 0; trail < 256; ++trail) {
        const char pair[] = {static_cast<char>(lead), static_cast<char>(trail)};
        std::string asked;
        std::string_view utf8;
        if (trail == kSeparator || !split) {
            asked = Cp932ToUtf8(std::string_view(pair, 2));
            utf8 = asked;
        } else {
            utf8 = pieces[static_cast<std::size_t>(piece)];
        }
        piece += trail != kSeparator ? 1 : 0;
        const std::string_view alone = Single(lead);
        const std::string_view next = Single(static_cast<unsigned char>(trail));
        if (utf8.size() == alone.size() + next.size() && utf8.substr(0, alone.size()) == alone &&
            utf8.substr(alone.size()) == next) {
            continue;  // read as two characters: the lead alone, then the trail
        }
        // An empty entry would read as no pair at all.
        fits = !utf8.empty() && Store(utf8, row[trail]) && fits;
    }
    rowState_[lead].store(fits ? kFilled : kUnfit);
    return fits;
}

std::string_view Cp932Table::Single(unsigned char byte) const {
    return {single_[byte].bytes, single_[byte].size & kLengthBits};
}

std::string_view Cp932Table::Pair(unsigned char lead, unsigned char trail) const {
    if (rowState_[lead].load() == kUnfilled) {
        FillRow(lead);
    }
    const Entry& entry = pairs_[pairRow_[lead] + trail];
    return {entry.bytes, entry.size & kLengthBits};
}

namespace {

// The escape flags of the ASCII bytes of block that the bits of taken pick, bytes that stand
// for themselves: controls and DEL need escaping everywhere, the quote and the backslash in
// JSON.
#if defined(__SSE2__)
unsigned AsciiEscapes(__m128i block, unsigned taken, unsigned text, unsigned json) {
    const __m128i control =
        _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(block, _mm_set1_epi8(0x1F)), block),
                     _mm_cmpeq_epi8(block, _mm_set1_epi8(0x7F)));
    const __m128i quoted = _mm_or_si128(_mm_cmpeq_epi8(block, _mm_set1_epi8('"')),
                                        _mm_cmpeq_epi8(block, _mm_set1_epi8('\\')));
    return ((static_cast<unsigned>(_mm_movemask_epi8(control)) & taken) != 0 ? text | json : 0) |
           ((static_cast<unsigned>(_mm_movemask_epi8(quoted)) & taken) != 0 ? json : 0);
}
#endif

}  // namespace

char* Cp932Table::Write(std::string_view cp932, char* to, unsigned& escapes) const {
    const char* at = cp932.data();
    const char* const end = at + cp932.size();
    unsigned flags = 0;
    // Held here: the bytes written through to may alias the members, which the loop would
    // otherwise read again after every character.
    const Entry* const pairs = pairs_.data();
    const bool asciiPlain = asciiPlain_;
    while (at < end) {
        const auto byte = static_cast<unsigned char>(*at);
        if (byte < 0x80 && asciiPlain) {
#if defined(__SSE2__)
            // The ASCII bytes up to the next other one, sixteen at a time, or eight near the
            // end: the ASCII ends of a sender, an address, a date, and the ASCII between
            // Japanese words. All sixteen (or eight) are stored; only the run counts. The room
            // holds them, as every byte left to read has seven bytes of room.
            if (end - at >= 8) {
                const bool whole = end - at >= 16;
                const __m128i block = whole ? _mm_loadu_si128(reinterpret_cast<const __m128i*>(at))
                                            : _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
                const unsigned others =
                    static_cast<unsigned>(_mm_movemask_epi8(block)) | (whole ? 0x10000 : 0x100);
                const unsigned run = static_cast<unsigned>(__builtin_ctz(others));
                _mm_storeu_si128(reinterpret_cast<__m128i*>(to), block);
                flags |= AsciiEscapes(block, (1u << run) - 1, kTextEscapes, kJsonEscapes);
                to += run;
                at += run;
                continue;
            }
#endif
            // One byte standing for itself.
            *to++ = static_cast<char>(byte);
            flags |= single_[byte].size;
            ++at;
            continue;
        }
        // Both readings are looked up and the right one is picked without a branch: Japanese
        // text mixes pairs and single bytes too irregularly for a branch to be foreseen.
        if (const RowState state = rowState_[byte].load(std::memory_order_acquire);
            state != kFilled && (state == kUnfit || !FillRow(byte))) {
            return nullptr;
        }
        const bool last = at + 1 == end;
        const std::size_t row = last ? kEmptyRow : pairRow_[byte];
        const Entry& pair = pairs[row + (last ? 0 : static_cast<unsigned char>(at[1]))];
        const bool two = pair.size != 0;
        const Entry& entry = two ? pair : single_[byte];
        std::memcpy(to, &entry, sizeof(Entry));
        flags |= entry.size;
        to += entry.size & kLengthBits;
        at += two ? 2 : 1;
    }
    escapes |= flags;
    return to;
}

void Cp932Table::Append(std::string_view cp932, std::string& out) const {
    if (!complete_) {
        out += Cp932ToUtf8(cp932);
        return;
    }
    const std::size_t start = out.size();
    out.resize(start + Room(cp932.size()));
    unsigned escapes = 0;
    if (const char* end = Write(cp932, out.data() + start, escapes)) {
        out.resize(static_cast<std::size_t>(end - out.data()));
    } else {
        out.resize(start);
        out += Cp932ToUtf8(cp932);
    }
}

std::string_view Cp932Table::Convert(std::string_view cp932, std::string& scratch) const {
    if (!complete_) {
        scratch = Cp932ToUtf8(cp932);
        return scratch;
    }
    // The scratch only grows, so a text that fits is written without the buffer being filled
    // first.
    if (scratch.size() < Room(cp932.size())) {
        scratch.resize(Room(cp932.size()));
    }
    unsigned escapes = 0;
    if (const char* end = Write(cp932, scratch.data(), escapes)) {
        return {scratch.data(), static_cast<std::size_t>(end - scratch.data())};
    }
    scratch = Cp932ToUtf8(cp932);
    return scratch;
}

std::string Cp932ToUtf8Fast(std::string_view cp932) {
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    Cp932Table::Get().Append(cp932, out);
    return out;
}

}  // namespace tarsel
