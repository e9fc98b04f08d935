// Folding of text for the decoded search. A text is folded character by character, each with
// the combining marks that follow it (a "unit"), so that every folded byte knows the original
// bytes it came from: utf8proc gives the compatibility decomposition and the case folding,
// the marks U+0300-U+036F are dropped, the rest is composed again, and a few pairs that
// Japanese decoders disagree on get one form. Most characters fold alone to one character;
// their folds are kept in a table made once, and only the rest go through utf8proc.
#include "query/text_folding.h"

#include <utf8proc.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <unordered_map>

namespace tarsel::query {
namespace {

using CodePoint = utf8proc_int32_t;

// The unit's code points, decomposed: a character decomposes to at most 18 (utf8proc's own
// bound), and a unit is cut short once its marks pass this room.
constexpr std::size_t kUnitRoom = 256;

// The forms that CP932 and ISO-2022-JP decoders give for one character, after NFKC.
CodePoint OneFormOfPair(CodePoint c) {
    switch (c) {
        case 0x301C:  // WAVE DASH (FULLWIDTH TILDE is already "~")
            return 0x7E;
        case 0x2212:  // MINUS SIGN (FULLWIDTH HYPHEN-MINUS is already "-")
            return 0x2D;
        case 0x2016:  // DOUBLE VERTICAL LINE
            return 0x2225;
        case 0x2015:  // HORIZONTAL BAR
            return 0x2014;
        default:
            return c;
    }
}

CodePoint KatakanaOf(CodePoint c) {
    if ((c >= 0x3041 && c <= 0x3096) || c == 0x309D || c == 0x309E) {
        return c + 0x60;
    }
    return c;
}

int CombiningClass(CodePoint c) {
    return utf8proc_get_property(c)->combining_class;
}

// Whether c joins the unit before it: its decomposition begins with a combining mark (the
// half-width voicing marks do, though they are no marks themselves).
bool JoinsPrevious(CodePoint c) {
    CodePoint first[32];
    int boundClass = 0;
    const utf8proc_ssize_t n = utf8proc_decompose_char(
        c, first, 32, static_cast<utf8proc_option_t>(UTF8PROC_DECOMPOSE | UTF8PROC_COMPAT),
        &boundClass);
    return n > 0 && CombiningClass(first[0]) != 0;
}

// Folds the code points of one unit into out (code points).
std::size_t FoldUnit(const CodePoint* unit, std::size_t count, bool kana,
                     std::array<CodePoint, kUnitRoom>& out) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < count; ++i) {
        CodePoint buffer[64];
        int boundClass = 0;
        const utf8proc_ssize_t got =
            utf8proc_decompose_char(unit[i], buffer, 64,
                                    static_cast<utf8proc_option_t>(
                                        UTF8PROC_DECOMPOSE | UTF8PROC_COMPAT | UTF8PROC_CASEFOLD),
                                    &boundClass);
        if (got < 0) {
            continue;  // no character (a surrogate's number): dropped
        }
        for (utf8proc_ssize_t k = 0; k < std::min<utf8proc_ssize_t>(got, 64); ++k) {
            if ((buffer[k] >= 0x300 && buffer[k] <= 0x36F) || n == out.size()) {
                continue;
            }
            out[n++] = buffer[k];
        }
    }
    // Canonical order of the marks, which composition expects: stable by class, starters fixed.
    for (std::size_t i = 1; i < n; ++i) {
        const int cls = CombiningClass(out[i]);
        if (cls == 0) {
            continue;
        }
        for (std::size_t k = i; k > 0; --k) {
            const int before = CombiningClass(out[k - 1]);
            if (before == 0 || before <= cls) {
                break;
            }
            std::swap(out[k - 1], out[k]);
        }
    }
    const utf8proc_ssize_t composed = utf8proc_normalize_utf32(
        out.data(), static_cast<utf8proc_ssize_t>(n),
        static_cast<utf8proc_option_t>(UTF8PROC_COMPOSE | UTF8PROC_STABLE));
    n = composed < 0 ? 0 : static_cast<std::size_t>(composed);
    for (std::size_t i = 0; i < n; ++i) {
        out[i] = OneFormOfPair(out[i]);
        if (kana) {
            out[i] = KatakanaOf(out[i]);
        }
    }
    return n;
}

// What each character of the Basic Multilingual Plane does when it stands alone.
class BmpTable {
  public:
    explicit BmpTable(bool kana)
        : single_(new std::uint16_t[0x10000]), flags_(new std::uint8_t[0x10000]) {
        std::array<CodePoint, kUnitRoom> out;
        for (CodePoint c = 0; c < 0x10000; ++c) {
            std::uint8_t flags = 0;
            single_[c] = 0;
            if (c < 0xD800 || c > 0xDFFF) {
                const utf8proc_property_t* property = utf8proc_get_property(c);
                std::size_t n = 0;
                if (property->decomp_seqindex == UINT16_MAX &&
                    property->casefold_seqindex == UINT16_MAX && (c < 0x300 || c > 0x36F) &&
                    c != 0xFF9E && c != 0xFF9F) {
                    // Without a mapping a character folds to itself (or its one other form).
                    flags |= property->combining_class != 0 ? kJoins : 0;
                    out[0] = OneFormOfPair(c);
                    out[0] = kana ? KatakanaOf(out[0]) : out[0];
                    n = 1;
                } else {
                    flags |= JoinsPrevious(c) ? kJoins : 0;
                    n = FoldUnit(&c, 1, kana, out);
                }
                if (n == 1 && out[0] < 0x10000 && (out[0] < 0xD800 || out[0] > 0xDFFF)) {
                    flags |= kSingle;
                    single_[c] = static_cast<std::uint16_t>(out[0]);
                    if (out[0] == c && (flags & kJoins) == 0) {
                        flags |= kSame;
                    }
                }
            }
            flags_[c] = flags;
            if ((flags & kSame) != 0) {
                same_[c >> 6] |= std::uint64_t{1} << (c & 63);
            } else if (c >= 0x4000 && c <= 0x9FFF) {
                ideographsSame_ = false;
            }
        }
    }
    bool Joins(CodePoint c) const {
        return c < 0x10000 ? (flags_[c] & kJoins) != 0 : JoinsPrevious(c);
    }
    bool IdeographsSame() const { return ideographsSame_; }
    // Whether c (below U+10000) folds alone to itself and joins nothing before it.
    bool Same(CodePoint c) const { return (same_[c >> 6] >> (c & 63) & 1) != 0; }
    // The one character c folds to alone, or -1 when it folds to several or none.
    CodePoint Single(CodePoint c) const {
        return c < 0x10000 && (flags_[c] & kSingle) != 0 ? single_[c] : -1;
    }

  private:
    static constexpr std::uint8_t kJoins = 1, kSingle = 2, kSame = 4;
    std::unique_ptr<std::uint16_t[]> single_;
    std::unique_ptr<std::uint8_t[]> flags_;
    // kSame again as bits, which stay in the first-level cache while text is scanned.
    std::array<std::uint64_t, 0x10000 / 64> same_{};
    bool ideographsSame_ = true;  // every character of U+4000-U+9FFF is kSame
};

// Tables are made on first use, each only when its folding is asked for.
template <class Table>
const Table& TableFor(bool kana) {
    if (kana) {
        static const Table withKana(true);
        return withKana;
    }
    static const Table plain(false);
    return plain;
}

void AppendCodePoint(CodePoint c, std::string& out) {
    std::uint8_t bytes[4];
    const utf8proc_ssize_t n = utf8proc_encode_char(c, bytes);
    out.append(reinterpret_cast<const char*>(bytes), static_cast<std::size_t>(n));
}

// The code point at text[at] and its length; length 0 for a byte that begins no character.
CodePoint DecodeAt(std::string_view text, std::size_t at, std::size_t& length) {
    CodePoint c = -1;
    const utf8proc_ssize_t n =
        utf8proc_iterate(reinterpret_cast<const utf8proc_uint8_t*>(text.data() + at),
                         static_cast<utf8proc_ssize_t>(text.size() - at), &c);
    length = n > 0 ? static_cast<std::size_t>(n) : 0;
    return c;
}

// The end of the run from at of well-formed characters other than NUL that fold to
// themselves (and whose next character joins none of them): such a run is copied as it is.
// Most Japanese text is one such run.
std::size_t SameRun(std::string_view utf8, std::size_t at, const BmpTable& table) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    std::size_t last = at;  // where the run's last character begins
    while (at < size) {
        // Eight ASCII bytes at a time while none is upper case, NUL or beyond ASCII.
        while (at + 8 <= size) {
            std::uint64_t word;
            std::memcpy(&word, bytes + at, 8);
            constexpr std::uint64_t kOnes = 0x0101010101010101, kHigh = 0x8080808080808080;
            const std::uint64_t upper =
                (word + (0x80 - 'A') * kOnes) & ~(word + (0x80 - 'Z' - 1) * kOnes);
            const std::uint64_t zero = (word - kOnes) & ~word;
            if (((word | upper | zero) & kHigh) != 0) {
                break;
            }
            last = at + 7;
            at += 8;
        }
        // Ideographs (leads E4-E9: U+4000-U+9FFF) fold to themselves, as the table checked.
        while (table.IdeographsSame() && at + 2 < size && bytes[at] >= 0xE4 && bytes[at] <= 0xE9 &&
               (bytes[at + 1] & 0xC0) == 0x80 && (bytes[at + 2] & 0xC0) == 0x80) {
            last = at;
            at += 3;
        }
        if (at == size) {
            break;
        }
        const unsigned char b = bytes[at];
        if (b < 0x80) {
            if ((b >= 'A' && b <= 'Z') || b == 0) {
                break;  // a NUL too: texts show it as a blank
            }
            last = at++;
            continue;
        }
        CodePoint c = -1;
        std::size_t length = 0;
        if ((b & 0xE0) == 0xC0 && b >= 0xC2 && at + 1 < size && (bytes[at + 1] & 0xC0) == 0x80) {
            c = (b & 0x1F) << 6 | (bytes[at + 1] & 0x3F);
            length = 2;
        } else if ((b & 0xF0) == 0xE0 && at + 2 < size && (bytes[at + 1] & 0xC0) == 0x80 &&
                   (bytes[at + 2] & 0xC0) == 0x80) {
            c = (b & 0x0F) << 12 | (bytes[at + 1] & 0x3F) << 6 | (bytes[at + 2] & 0x3F);
            length = c >= 0x800 && (c < 0xD800 || c > 0xDFFF) ? 3 : 0;
        }
        if (length == 0 || !table.Same(c)) {
            if (length != 0 && table.Joins(c) && last < at) {
                return last;  // the mark belongs to the character before it
            }
            break;
        }
        last = at;
        at += length;
    }
    return at;
}

// Folds the unit at utf8[at] (a character and the marks that join it, or one invalid byte)
// onto folded; returns where the next unit begins.
std::size_t FoldUnitAt(std::string_view utf8, std::size_t at, const FoldOptions& options,
                       const BmpTable& table, std::string& folded) {
    const auto byte = static_cast<unsigned char>(utf8[at]);
    // Plain ASCII followed by ASCII (or the end) is a unit of its own.
    if (byte < 0x80 && (at + 1 == utf8.size() || static_cast<unsigned char>(utf8[at + 1]) < 0x80)) {
        folded += static_cast<char>(byte >= 'A' && byte <= 'Z' ? byte + 0x20 : byte);
        return at + 1;
    }
    std::size_t length = 0;
    const CodePoint c = DecodeAt(utf8, at, length);
    if (length == 0) {
        folded += utf8[at];  // an invalid byte stands for itself
        return at + 1;
    }
    std::size_t end = at + length;
    std::array<CodePoint, kUnitRoom> unit;
    std::size_t count = 1;
    unit[0] = c;
    while (end < utf8.size()) {
        std::size_t next = 0;
        const CodePoint mark = DecodeAt(utf8, end, next);
        if (next == 0 || !table.Joins(mark)) {
            break;
        }
        if (count < unit.size()) {
            unit[count++] = mark;
        }
        end += next;
    }
    const CodePoint single = count == 1 ? table.Single(c) : -1;
    if (single >= 0) {
        AppendCodePoint(single, folded);
    } else {
        std::array<CodePoint, kUnitRoom> out;
        const std::size_t n = FoldUnit(unit.data(), count, options.kana, out);
        for (std::size_t i = 0; i < n; ++i) {
            AppendCodePoint(out[i], folded);
        }
    }
    return end;
}

// Folds utf8 from at onto folded, runs that stay as they are copied whole.
void AppendFoldedFrom(std::string_view utf8, std::size_t at, const FoldOptions& options,
                      const BmpTable& table, std::string& folded) {
    while (at < utf8.size()) {
        const std::size_t run = SameRun(utf8, at, table);
        folded.append(utf8.data() + at, run - at);
        at = run < utf8.size() ? FoldUnitAt(utf8, run, options, table, folded) : run;
    }
}

// The characters other than k whose folded decomposition holds k: every character that a
// mapping (compatibility, case, the pairs, kana) changes is looked at once.
class Preimages {
  public:
    explicit Preimages(bool kana) {
        // Past U+2FFFF no character has a mapping (ideographs without one, tags, private use).
        for (CodePoint c = 0; c <= 0x2FFFF; ++c) {
            if (c == 0xD800) {
                c = 0xDFFF;
                continue;
            }
            const utf8proc_property_t* property = utf8proc_get_property(c);
            const bool mapped = property->decomp_seqindex != UINT16_MAX ||
                                property->casefold_seqindex != UINT16_MAX ||
                                OneFormOfPair(c) != c || (kana && KatakanaOf(c) != c);
            if (!mapped) {
                continue;
            }
            CodePoint buffer[64];
            int boundClass = 0;
            const utf8proc_ssize_t n = utf8proc_decompose_char(
                c, buffer, 64,
                static_cast<utf8proc_option_t>(UTF8PROC_DECOMPOSE | UTF8PROC_COMPAT |
                                               UTF8PROC_CASEFOLD),
                &boundClass);
            for (utf8proc_ssize_t i = 0; i < std::min<utf8proc_ssize_t>(n, 64); ++i) {
                CodePoint x = OneFormOfPair(buffer[i]);
                x = kana ? KatakanaOf(x) : x;
                if (x != c) {
                    std::vector<CodePoint>& of = map_[x];
                    if (of.empty() || of.back() != c) {
                        of.push_back(c);
                    }
                }
            }
        }
    }
    const std::vector<CodePoint>* Of(CodePoint k) const {
        const auto found = map_.find(k);
        return found == map_.end() ? nullptr : &found->second;
    }

  private:
    std::unordered_map<CodePoint, std::vector<CodePoint>> map_;
};

}  // namespace

void AppendFolded(std::string_view utf8, const FoldOptions& options, std::string& folded,
                  std::vector<Span>* spans) {
    const BmpTable& table = TableFor<BmpTable>(options.kana);
    if (spans == nullptr) {
        AppendFoldedFrom(utf8, 0, options, table, folded);
        return;
    }
    for (std::size_t at = 0; at < utf8.size();) {
        const std::size_t end = FoldUnitAt(utf8, at, options, table, folded);
        spans->resize(folded.size(),
                      Span{static_cast<std::uint32_t>(at), static_cast<std::uint32_t>(end)});
        at = end;
    }
}

std::string_view FoldedView(std::string_view utf8, const FoldOptions& options,
                            std::string& scratch) {
    const BmpTable& table = TableFor<BmpTable>(options.kana);
    const std::size_t run = SameRun(utf8, 0, table);
    if (run == utf8.size()) {
        return utf8;
    }
    scratch.assign(utf8.data(), run);
    AppendFoldedFrom(utf8, run, options, table, scratch);
    return scratch;
}

bool FoldsToItself(std::string_view utf8, const FoldOptions& options) {
    return SameRun(utf8, 0, TableFor<BmpTable>(options.kana)) == utf8.size();
}

bool CharactersFoldingInto(std::uint32_t k, const FoldOptions& options,
                           std::vector<std::uint32_t>& characters) {
    characters.clear();
    CodePoint canonical[8];
    int boundClass = 0;
    const CodePoint c = static_cast<CodePoint>(k);
    // A composed character may come of a character and marks that fold apart; Hangul letters
    // stand in every syllable.
    if (utf8proc_decompose_char(c, canonical, 8, UTF8PROC_DECOMPOSE, &boundClass) != 1 ||
        canonical[0] != c || (c >= 0x1100 && c <= 0x11FF) || c > 0x10FFFF) {
        return false;
    }
    characters.push_back(k);
    if (const std::vector<CodePoint>* of = TableFor<Preimages>(options.kana).Of(c)) {
        characters.insert(characters.end(), of->begin(), of->end());
    }
    return true;
}

std::string Folded(std::string_view utf8, const FoldOptions& options) {
    std::string folded;
    AppendFolded(utf8, options, folded);
    return folded;
}

}  // namespace tarsel::query
