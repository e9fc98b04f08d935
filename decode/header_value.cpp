// Decoding of "=?ISO-2022-JP?B?...?=" words in one header value.
//
// The decoding is defined pass by pass: find the first prefix in a search copy of the value
// (letters upper-cased, except the text that the previous pass decoded), take the first "?="
// that begins at or after the end of that prefix, replace the word by its decoded text and start
// again from the beginning. Because the decoded text is searched again, a word may decode to
// text that forms a new prefix or terminator together with its neighbours, and that text may
// only match once a later pass upper-cases it. Done literally that costs a rebuild and a full
// search per word, quadratic for a long value; this file gives the same results with work that
// stays close to linear.
//
// How: the value lives in one buffer with a gap at the current word, so a replacement only
// touches the word (the decoded text is never longer than its word). A pass then needs to look
// only where the previous passes could have created a match:
//   - everything before the horizon has been searched, except for pending windows: ranges of
//     start positions whose 16 bytes were changed since they were searched;
//   - a replacement opens a window over the 15 positions before the decoded text and over the
//     text itself, and, when the text of the previous pass contains lower-case letters that this
//     pass upper-cases, a window over the 15 positions before that text and over the text;
//   - windows are searched in order of position, the back of the list first; new ones always
//     lie before the old ones, which all lie after the word just replaced;
//   - positions past the word keep their distance from the end of the value, so the horizon and
//     the windows are kept as distances from the end and survive the replacement unchanged.
// The first match is then the first match inside a pending window (in order) or, failing
// that, the first match at or after the horizon. The unit tests compare this against the
// literal pass-by-pass procedure on random and hostile values.
#include "decode/header_value.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstdint>
#include <cstring>
#include <string_view>
#include <vector>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decode/base64.h"
#include "decode/case_blind_word.h"

namespace tarsel {

namespace {

constexpr std::string_view kPrefix = "=?ISO-2022-JP?B?";
constexpr std::string_view kTerminator = "?=";
// How many start positions before a byte still have it among their 16 bytes.
constexpr std::size_t kReach = kPrefix.size() - 1;

constexpr char Upper(char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c;
}

bool HasLowerCase(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) { return c >= 'a' && c <= 'z'; });
}

constexpr std::size_t kNotFound = std::string_view::npos;

}  // namespace

namespace {

// The prefix as two words of eight bytes.
constexpr CaseBlindWord kPrefixHead(kPrefix.substr(0, 8));
constexpr CaseBlindWord kPrefixTail(kPrefix.substr(8));
static_assert(kPrefix.size() == 16, "the prefix is compared as two words");

bool PrefixAt(std::string_view value, std::size_t at) {
    if constexpr (std::endian::native == std::endian::little) {
        return kPrefixHead.At(value.data() + at) && kPrefixTail.At(value.data() + at + 8);
    }
    for (std::size_t i = 1; i < kPrefix.size(); ++i) {
        if (Upper(value[at + i]) != kPrefix[i]) {
            return false;
        }
    }
    return true;
}

// The first place in [from, last] that holds c and satisfies matches; npos when there is none.
// last lies inside the text. A header value is short, so its bytes are looked at sixteen at a
// time in place rather than through a library search per candidate; a text of sixteen bytes
// or more ends with a block that overlaps the one before instead of a byte-by-byte tail.
template <typename Matches>
__attribute__((always_inline)) inline std::size_t FindByteWhere(std::string_view text, char c,
                                                                std::size_t from, std::size_t last,
                                                                Matches matches) {
#if defined(__SSE2__)
    constexpr std::size_t kBlock = 16;
    if (text.size() >= kBlock) {
        const __m128i wanted = _mm_set1_epi8(c);
        for (;;) {
            const std::size_t block = std::min(from, text.size() - kBlock);
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(text.data() + block));
            // Shifted so that bit 0 stands for from: the overlap holds nothing new.
            auto mask = static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, wanted)));
            for (mask >>= from - block; mask != 0; mask &= mask - 1) {
                const std::size_t at = from + static_cast<std::size_t>(std::countr_zero(mask));
                if (at > last) {
                    return kNotFound;
                }
                if (matches(at)) {
                    return at;
                }
            }
            if (block + kBlock >= text.size()) {
                return kNotFound;
            }
            from = block + kBlock;
        }
    }
#endif
    for (; from <= last; ++from) {
        if (text[from] == c && matches(from)) {
            return from;
        }
    }
    return kNotFound;
}

// Position of the first "?=" at or after from; npos when there is none. Inlined with the
// search below, as is the search for a word: they run a few times a value, and a call costs
// about as much as a block.
__attribute__((always_inline)) inline std::size_t FindTerminator(std::string_view value,
                                                                 std::size_t from) {
    if (value.size() < kTerminator.size() || from > value.size() - kTerminator.size()) {
        return kNotFound;
    }
    return FindByteWhere(value, kTerminator[0], from, value.size() - kTerminator.size(),
                         [value](std::size_t at) { return value[at + 1] == kTerminator[1]; });
}

__attribute__((always_inline)) inline std::size_t FindWord(std::string_view value,
                                                           std::size_t from) {
    if (value.size() < kPrefix.size() || from > value.size() - kPrefix.size()) {
        return kNotFound;
    }
    return FindByteWhere(value, kPrefix[0], from, value.size() - kPrefix.size(),
                         [value](std::size_t at) { return PrefixAt(value, at); });
}

}  // namespace

std::size_t FindEncodedWord(std::string_view value, std::size_t from) {
    return FindWord(value, from);
}

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

// Whether the value holds a "?=", blanks and "=?": the least that blanks between two words
// take, and one scan where looking for the words takes several.
bool MayHaveBlanksBetweenWords(std::string_view value) {
    constexpr std::size_t kLeast = 5;  // "?= =?"
    if (value.size() < kLeast) {
        return false;
    }
    const auto joins = [value](std::size_t at) {
        if (value[at + 1] != kTerminator[1] || !IsBlank(value[at + 2])) {
            return false;
        }
        std::size_t next = at + 3;
        while (next < value.size() && IsBlank(value[next])) {
            ++next;
        }
        return value.size() - next >= 2 && value[next] == '=' && value[next + 1] == '?';
    };
    return FindByteWhere(value, kTerminator[0], 0, value.size() - kLeast, joins) != kNotFound;
}

}  // namespace

std::string_view WithoutBlanksBetweenWords(std::string_view value, std::string& scratch) {
    if (!MayHaveBlanksBetweenWords(value)) {
        return value;
    }
    std::size_t copied = 0;  // the value before this is in scratch
    for (std::size_t word = FindEncodedWord(value); word != kNotFound;) {
        const std::size_t end = FindTerminator(value, word + kPrefix.size());
        if (end == std::string_view::npos) {
            break;
        }
        const std::size_t after = end + kTerminator.size();
        std::size_t next = after;
        while (next < value.size() && IsBlank(value[next])) {
            ++next;
        }
        // Only a whole word after the blanks joins: a prefix without its "?=" is plain text.
        if (next > after && next < value.size() && value[next] == kPrefix[0] &&
            value.size() - next >= kPrefix.size() && PrefixAt(value, next) &&
            FindTerminator(value, next + kPrefix.size()) != kNotFound) {
            if (copied == 0) {
                scratch.clear();
            }
            scratch.append(value.substr(copied, after - copied));
            copied = next;
            word = next;
        } else {
            word = FindEncodedWord(value, after);
        }
    }
    if (copied == 0) {
        return value;
    }
    scratch.append(value.substr(copied));
    return scratch;
}

namespace {

// The value as buf[0, left) followed by buf[right, end).
class GapText {
  public:
    explicit GapText(std::string text) : buf_(std::move(text)), left_(0), right_(0) {}

    std::size_t size() const { return left_ + (buf_.size() - right_); }
    char at(std::size_t pos) const { return pos < left_ ? buf_[pos] : buf_[pos - left_ + right_]; }

    void MoveGapTo(std::size_t pos) {
        if (pos < left_) {
            const std::size_t count = left_ - pos;
            std::copy_backward(buf_.begin() + static_cast<std::ptrdiff_t>(pos),
                               buf_.begin() + static_cast<std::ptrdiff_t>(left_),
                               buf_.begin() + static_cast<std::ptrdiff_t>(right_));
            left_ -= count;
            right_ -= count;
        } else if (pos > left_) {
            const std::size_t count = pos - left_;
            std::copy(buf_.begin() + static_cast<std::ptrdiff_t>(right_),
                      buf_.begin() + static_cast<std::ptrdiff_t>(right_ + count),
                      buf_.begin() + static_cast<std::ptrdiff_t>(left_));
            left_ += count;
            right_ += count;
        }
    }

    // Position of the first c at or after from, or npos.
    std::size_t Find(char c, std::size_t from) const {
        const std::string_view text(buf_);
        if (from < left_) {
            const std::size_t at = text.substr(0, left_).find(c, from);
            if (at != std::string_view::npos) {
                return at;
            }
            from = left_;
        }
        const std::size_t at = text.find(c, from - left_ + right_);
        return at == std::string_view::npos ? at : at - right_ + left_;
    }

    // The value from the gap on.
    std::string_view AfterGap() const { return std::string_view(buf_).substr(right_); }

    // Replaces the first count bytes after the gap by text, which is never longer.
    void ReplaceAfterGap(std::size_t count, std::string_view text) {
        right_ += count - text.size();
        std::copy(text.begin(), text.end(), buf_.begin() + static_cast<std::ptrdiff_t>(right_));
    }

    std::string Release() && {
        buf_.erase(left_, right_ - left_);
        return std::move(buf_);
    }

  private:
    std::string buf_;
    std::size_t left_;
    std::size_t right_;
};

// Start positions [first, last) that must be searched again, as distances from the end.
struct Window {
    std::size_t fromEnd;   // size - first
    std::size_t untilEnd;  // size - last
};

class Decoder {
  public:
    explicit Decoder(std::string value) : text_(std::move(value)), horizonFromEnd_(text_.size()) {}

    std::string Run() && {
        for (;;) {
            const std::size_t size = text_.size();
            const std::size_t start = FindFirstPrefix();
            if (start == kNone) {
                break;
            }
            text_.MoveGapTo(start);
            const std::string_view rest = text_.AfterGap();
            const std::size_t end = rest.find(kTerminator, kPrefix.size());
            if (end == std::string_view::npos) {
                break;  // cut-off word: the value stays as it is from here on
            }
            // A word's text lives only until it replaces the word: each thread keeps one buffer.
            thread_local std::string decoded;
            decoded.clear();
            AppendDecodedBase64(rest.substr(kPrefix.size(), end - kPrefix.size()), decoded);
            text_.ReplaceAfterGap(end + kTerminator.size(), decoded);
            Update(size, start, start + end + kTerminator.size(), decoded);
        }
        return std::move(text_).Release();
    }

  private:
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);

    // Whether the search copy holds the prefix at pos: letters compare upper-cased, except inside
    // the text decoded by the previous pass, which the copy holds as it is.
    bool MatchesAt(std::size_t pos) const {
        if (pos + kPrefix.size() > text_.size()) {
            return false;
        }
        for (std::size_t i = 0; i < kPrefix.size(); ++i) {
            const std::size_t at = pos + i;
            const char c = text_.at(at);
            const bool asIs = at >= exactFirst_ && at < exactLast_;
            if ((asIs ? c : Upper(c)) != kPrefix[i]) {
                return false;
            }
        }
        return true;
    }

    std::size_t FindFirstPrefix() {
        const std::size_t size = text_.size();
        const std::size_t horizon = size - std::min(horizonFromEnd_, size);
        while (!windows_.empty()) {
            Window& window = windows_.back();
            const std::size_t first = size - window.fromEnd;
            const std::size_t last = std::min(size - window.untilEnd, horizon);
            for (std::size_t pos = first; pos < last; ++pos) {
                if (text_.at(pos) == kPrefix[0] && MatchesAt(pos)) {
                    window.fromEnd = size - (pos + 1);
                    return pos;
                }
            }
            windows_.pop_back();
        }
        // A prefix begins with a byte that upper-casing leaves alone, so only its places count.
        for (std::size_t pos = horizon; pos + kPrefix.size() <= size; ++pos) {
            pos = text_.Find(kPrefix[0], pos);
            if (pos == std::string_view::npos) {
                break;
            }
            if (MatchesAt(pos)) {
                horizonFromEnd_ = size - (pos + 1);
                return pos;
            }
        }
        return kNone;
    }

    // Records what the replacement of [start, wordEnd) by decoded changed; oldSize is the size
    // of the value before it.
    void Update(std::size_t oldSize, std::size_t start, std::size_t wordEnd,
                std::string_view decoded) {
        const std::size_t tailFromEnd = oldSize - wordEnd;  // the tail after the word
        const std::size_t size = text_.size();
        const std::size_t decodedEnd = start + decoded.size();

        // Windows keep only their part after the word: what lay before it has been searched and
        // the word itself is gone. Windows may overlap, so every one that begins before the end
        // of the word is looked at; they all sit at the back.
        auto clipped = std::partition_point(
            windows_.begin(), windows_.end(),
            [tailFromEnd](const Window& w) { return w.fromEnd <= tailFromEnd; });
        std::size_t reach = tailFromEnd;  // the clipped windows all start there: keep one
        for (auto it = clipped; it != windows_.end(); ++it) {
            reach = std::min(reach, it->untilEnd);
        }
        windows_.erase(clipped, windows_.end());
        if (reach < tailFromEnd) {
            windows_.push_back(Window{tailFromEnd, reach});
        }
        horizonFromEnd_ = std::min(horizonFromEnd_, tailFromEnd);

        // Lower-case letters of the previous text are upper-cased from now on. Only its part
        // before the word needs a new window: a part after the word still lies inside the window
        // opened when that text was decoded, as this pass stopped before using that window up.
        windows_.push_back(WindowFor(size, start, decodedEnd));
        if (exactHasLower_ && exactFirst_ < start) {
            windows_.push_back(WindowFor(size, exactFirst_, std::min(exactLast_, start)));
        }

        exactFirst_ = start;
        exactLast_ = decodedEnd;
        exactHasLower_ = HasLowerCase(decoded);
    }

    // A window over every start whose 16 bytes reach into [first, last).
    static Window WindowFor(std::size_t size, std::size_t first, std::size_t last) {
        const std::size_t from = first > kReach ? first - kReach : 0;
        return Window{size - from, size - last};
    }

    GapText text_;
    std::size_t horizonFromEnd_;
    std::vector<Window>& windows_ = Windows();

    // The windows of a value live only while it is decoded: each thread keeps one list.
    static std::vector<Window>& Windows() {
        thread_local std::vector<Window> windows;
        windows.clear();
        return windows;
    }
    std::size_t exactFirst_ = 0;
    std::size_t exactLast_ = 0;
    bool exactHasLower_ = false;
};

// What a byte can be in a prefix or terminator: kEnds for "=" and "?", kInside for the other
// bytes of the prefix (in any case), kNowhere for the rest; as bits, so that a text's bytes
// are told apart by or-ing them.
enum PrefixRole : unsigned char { kInside = 0, kNowhere = 1, kEnds = 2 };
constexpr auto kPrefixRoles = [] {
    std::array<unsigned char, 256> roles{};
    for (int byte = 0; byte < 256; ++byte) {
        const char c = Upper(static_cast<char>(byte));
        PrefixRole role = kNowhere;
        if (c == '=' || c == '?') {
            role = kEnds;
        } else if (kPrefix.find(c) != std::string_view::npos) {
            role = kInside;
        }
        roles[static_cast<std::size_t>(byte)] = role;
    }
    return roles;
}();

// Whether decoded text can take part in no later prefix or terminator: it holds no "=" and no
// "?" and some byte that is in no case a byte of the prefix. Such text cannot begin one (no
// "="), cannot end one (both end in "?" or "="), and cannot lie wholly inside one (a byte that
// fits nowhere in it).
bool IsInertByRoles(const char* text, const char* end) {
    unsigned roles = 0;
    for (; text != end; ++text) {
        roles |= kPrefixRoles[static_cast<unsigned char>(*text)];
    }
    return roles == kNowhere;
}

// Whether any of eight bytes is "=" or "?". The two differ in bit 1 alone: with it set, both
// become "?" and no other byte does, and a byte of the "?" mask turned zero is found with the
// usual borrow trick, which is exact about whether there is one.
bool HasEnds(std::uint64_t bytes) {
    constexpr std::uint64_t kEach = 0x0101010101010101;
    const std::uint64_t notEnds = (bytes | 2 * kEach) ^ ('?' * kEach);
    return ((notEnds - kEach) & ~notEnds & 0x80 * kEach) != 0;
}

std::uint64_t EightBytesAt(const char* at) {
    std::uint64_t bytes;
    std::memcpy(&bytes, at, sizeof bytes);
    return bytes;
}

// The same, eight bytes at a time for text of eight bytes or more (the last eight overlapping
// the ones before): a decoded word is mostly Shift-JIS, whose lead bytes lie above 0x7F and so
// fit nowhere in a prefix, and whose bytes are never "=" or "?".
bool IsInert(const char* text, const char* end) {
    constexpr std::size_t kWord = sizeof(std::uint64_t);
    if (end - text < static_cast<std::ptrdiff_t>(kWord)) {
        return IsInertByRoles(text, end);
    }
    std::uint64_t high = 0;
    const auto inert = [&high](std::uint64_t bytes) {
        high |= bytes & 0x8080808080808080;
        return !HasEnds(bytes);
    };
    for (const char* at = text; end - at > static_cast<std::ptrdiff_t>(kWord); at += kWord) {
        if (!inert(EightBytesAt(at))) {
            return false;
        }
    }
    if (!inert(EightBytesAt(end - kWord))) {
        return false;
    }
    return high != 0 || IsInertByRoles(text, end);
}

// Copies size bytes, at least kPiece, in pieces of kPiece, the last overlapping the one before.
template <std::size_t kPiece>
void CopyInPieces(const char* from, std::size_t size, char* to) {
    for (std::size_t at = 0; at + kPiece < size; at += kPiece) {
        std::memcpy(to + at, from + at, kPiece);
    }
    std::memcpy(to + size - kPiece, from + size - kPiece, kPiece);
}

// Copies the plain text around words, a few bytes to a few dozen, in pieces instead of through
// a library call that spends as much on choosing its way as on copying. from and to never
// overlap.
__attribute__((always_inline)) inline char* CopyPlain(const char* from, std::size_t size,
                                                      char* to) {
    if (size >= 16) {
        CopyInPieces<16>(from, size, to);
    } else if (size >= 8) {
        CopyInPieces<8>(from, size, to);
    } else if (size >= 4) {
        CopyInPieces<4>(from, size, to);
    } else {
        for (std::size_t at = 0; at < size; ++at) {
            to[at] = from[at];
        }
    }
    return to + size;
}

// Where the next word's text begins after a word that ends at after: with joinBlanks, past
// the blanks and tabs before an adjacent whole word (a prefix without its "?=" is plain text).
// The word found there, and its "?=" (which joining looks for), is kept for the next round.
template <bool joinBlanks>
std::size_t NextText(std::string_view value, std::size_t after, std::size_t& nextEnd) {
    if constexpr (joinBlanks) {
        std::size_t next = after;
        while (next < value.size() && IsBlank(value[next])) {
            ++next;
        }
        if (next > after && value.size() - next >= kPrefix.size() && PrefixAt(value, next)) {
            nextEnd = FindTerminator(value, next + kPrefix.size());
            if (nextEnd != kNotFound) {
                return next;
            }
        }
    }
    nextEnd = kNotFound;
    return after;
}

// The usual value decodes word by word, left to right, when every word's text is inert: every
// later match then lies after the word, in text that stands as the mail wrote it, and the
// passes come down to one scan. The value is written straight into out, which is sized for it
// once (a word's text is never longer than the word). Returns false, with out as it was, once
// a word's text is not inert.
template <bool joinBlanks>
bool AppendWordByWord(std::string_view value, std::string& out) {
    std::size_t word = FindWord(value, 0);
    if (word == kNotFound) {
        out.append(value);  // nothing decoded can make a word: the value as it is
        return true;
    }
    const std::size_t start = out.size();
    out.resize(start + value.size());
    char* to = out.data() + start;
    std::size_t from = 0;             // the value before this has been written out
    std::size_t nextEnd = kNotFound;  // the "?=" of a word that joined the one before
    for (; word != kNotFound; word = FindWord(value, from)) {
        const std::size_t end =
            nextEnd != kNotFound ? nextEnd : FindTerminator(value, word + kPrefix.size());
        if (end == kNotFound) {
            break;  // cut-off word: the value stays as it is from here on
        }
        to = CopyPlain(value.data() + from, word - from, to);
        const std::size_t text = word + kPrefix.size();
        char* const decoded = to;
        bool pairsOnly = false;
        to = WriteDecodedBase64(value.substr(text, end - text), to, &pairsOnly);
        // Shift-JIS pairs are inert once there is one: a lead byte lies above 0x7F, and no
        // byte of a pair is "=" or "?".
        if (pairsOnly ? to == decoded : !IsInert(decoded, to)) {
            out.resize(start);
            return false;
        }
        from = NextText<joinBlanks>(value, end + kTerminator.size(), nextEnd);
    }
    to = CopyPlain(value.data() + from, value.size() - from, to);
    out.resize(static_cast<std::size_t>(to - out.data()));
    return true;
}

}  // namespace

void AppendDecodedHeaderValue(std::string_view value, std::string& out) {
    if (!AppendWordByWord<false>(value, out)) {
        out += Decoder(std::string(value)).Run();
    }
}

void AppendDecodedJoinedValue(std::string_view value, std::string& out) {
    if (!AppendWordByWord<true>(value, out)) {
        thread_local std::string joined;
        out += Decoder(std::string(WithoutBlanksBetweenWords(value, joined))).Run();
    }
}

std::string DecodeHeaderValue(std::string_view value) {
    std::string out;
    AppendDecodedHeaderValue(value, out);
    return out;
}

}  // namespace tarsel
