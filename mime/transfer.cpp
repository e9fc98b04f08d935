// Base64 and quoted-printable decoding of MIME part bodies and encoded words.
#include "mime/transfer.h"

#include <array>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "mime/text_util.h"

namespace tarsel::mime {
namespace {

constexpr std::array<signed char, 256> kBase64Values = [] {
    std::array<signed char, 256> values{};
    values.fill(-1);
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    for (std::size_t i = 0; i < alphabet.size(); ++i) {
        values[static_cast<unsigned char>(alphabet[i])] = static_cast<signed char>(i);
    }
    return values;
}();

// A hex digit's value as the high and as the low half of a byte, with a bit above the byte
// for any other character, so that one test takes both digits of an "=XX".
constexpr unsigned kNotHex = 0x100;
constexpr std::array<unsigned short, 256> HexHalves(unsigned shift) {
    std::array<unsigned short, 256> values{};
    values.fill(kNotHex);
    for (unsigned i = 0; i < 10; ++i) {
        values['0' + i] = static_cast<unsigned short>(i << shift);
    }
    for (unsigned i = 0; i < 6; ++i) {
        values['A' + i] = values['a' + i] = static_cast<unsigned short>((10 + i) << shift);
    }
    return values;
}
constexpr std::array<unsigned short, 256> kHexHigh = HexHalves(4);
constexpr std::array<unsigned short, 256> kHexLow = HexHalves(0);

// What quoted-printable makes of a byte: most bytes stand for themselves, so one look-up
// tells them from the few that need a decision.
enum QpKind : unsigned char { kQpPlain, kQpEquals, kQpBlank, kQpUnderscore };
constexpr std::array<QpKind, 256> kQpKinds = [] {
    std::array<QpKind, 256> kinds{};
    kinds['='] = kQpEquals;
    kinds[' '] = kinds['\t'] = kQpBlank;
    kinds['_'] = kQpUnderscore;
    return kinds;
}();

#if defined(__x86_64__)
// What a block loop took of its text and wrote.
struct Taken {
    std::size_t in = 0;
    std::size_t out = 0;
    void Add(std::size_t read, std::size_t written) {
        in += read;
        out += written;
    }
    void Add(const Taken& more) { Add(more.in, more.out); }
};

// The nibble tables of the base64 blocks below. By low nibble and by high nibble, the classes
// of byte that may stand there; an alphabet character is the one byte whose two classes share
// no bit. Then what to add to a character of each high nibble ("/" apart) to get its value.
alignas(16) constexpr signed char kLowClasses[16] = {
    0x15, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x11, 0x13, 0x1A, 0x1B, 0x1B, 0x1B, 0x1A};
alignas(16) constexpr signed char kHighClasses[16] = {
    0x10, 0x10, 0x01, 0x02, 0x04, 0x08, 0x04, 0x08, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10, 0x10};
alignas(16) constexpr signed char kValueOffsets[16] = {0, 16, 19, 4, -65, -65, -71, -71,
                                                       0, 0,  0,  0, 0,   0,   0,   0};
// Each group's three bytes out of its 32-bit lane, the last four places left empty.
alignas(16) constexpr signed char kGroupBytes[16] = {2, 1,  0,  6,  5,  4,  10, 9,
                                                     8, 14, 13, 12, -1, -1, -1, -1};

// The two hex digits of each of five "=XX" side by side, the last six places left empty.
alignas(16) constexpr signed char kDigitPairs[16] = {1,  2,  4,  5,  7,  8,  10, 11,
                                                     13, 14, -1, -1, -1, -1, -1, -1};

__attribute__((target("ssse3"))) __m128i Table(const signed char (&table)[16]) {
    return _mm_load_si128(reinterpret_cast<const __m128i*>(table));
}

// How a block loop goes on after its step decoded the whole groups before the first byte
// outside the alphabet (at first): false where it stops, at padding or inside a group;
// otherwise that byte is stepped over as the byte loop would.
bool StepOverStray(unsigned first, const unsigned char*& p, Taken& taken) {
    if (first % 4 != 0 || *p == '=') {
        return false;
    }
    ++p;
    taken.Add(1, 0);
    return true;
}

// Blocks of sixteen alphabet characters to their twelve bytes, with the nibble tables that
// tell an alphabet character from any other byte in one step, for as long as the sixteen at p
// are all in the alphabet, and the whole groups of four before another byte; a line break
// between groups is stepped over as the byte loop would. The caller takes padding, and what
// follows a byte inside a group, one group at a time. o must have room for sixteen bytes more
// than the groups' bytes. Pointers by value, so that the caller's stay in registers.
__attribute__((target("ssse3"))) Taken DecodeBase64Blocks(const unsigned char* p,
                                                          const unsigned char* end, char* o) {
    Taken taken;
    while (end - p >= 16) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i nibbleMask = _mm_set1_epi8(0x2F);
        const __m128i highNibbles = _mm_and_si128(_mm_srli_epi32(in, 4), nibbleMask);
        const __m128i lowNibbles = _mm_and_si128(in, nibbleMask);
        const __m128i clash = _mm_and_si128(_mm_shuffle_epi8(Table(kLowClasses), lowNibbles),
                                            _mm_shuffle_epi8(Table(kHighClasses), highNibbles));
        const auto alphabet =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(clash, _mm_setzero_si128())));
        // The whole groups before the first other byte are still taken from the block.
        const unsigned first = alphabet == 0xFFFF ? 16 : __builtin_ctz(~alphabet);
        const unsigned whole = first / 4;
        const __m128i slash = _mm_cmpeq_epi8(in, nibbleMask);
        const __m128i values = _mm_add_epi8(
            in, _mm_shuffle_epi8(Table(kValueOffsets), _mm_add_epi8(slash, highNibbles)));
        // Four six-bit values to three bytes: pairs into twelve bits, then twelve-bit pairs.
        const __m128i pairs = _mm_maddubs_epi16(values, _mm_set1_epi32(0x01400140));
        const __m128i sextets = _mm_madd_epi16(pairs, _mm_set1_epi32(0x00011000));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o),
                         _mm_shuffle_epi8(sextets, Table(kGroupBytes)));
        p += 4 * whole;
        o += 3 * whole;
        taken.Add(4 * whole, 3 * whole);
        if (whole != 4 && !StepOverStray(first, p, taken)) {
            break;
        }
    }
    return taken;
}

__attribute__((target("avx2"))) __m256i WideTable(const signed char (&table)[16]) {
    return _mm256_broadcastsi128_si256(Table(table));
}

// The blocks above thirty-two characters at a step where the processor has AVX2, each half of
// the register a block of sixteen with the same tables. o must have room for thirty-two bytes
// more than the groups' bytes.
__attribute__((target("avx2"))) Taken DecodeBase64BlocksWide(const unsigned char* p,
                                                             const unsigned char* end, char* o) {
    Taken taken;
    while (end - p >= 32) {
        const __m256i in = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
        const __m256i nibbleMask = _mm256_set1_epi8(0x2F);
        const __m256i highNibbles = _mm256_and_si256(_mm256_srli_epi32(in, 4), nibbleMask);
        const __m256i lowNibbles = _mm256_and_si256(in, nibbleMask);
        const __m256i clash =
            _mm256_and_si256(_mm256_shuffle_epi8(WideTable(kLowClasses), lowNibbles),
                             _mm256_shuffle_epi8(WideTable(kHighClasses), highNibbles));
        const auto alphabet = static_cast<unsigned>(
            _mm256_movemask_epi8(_mm256_cmpeq_epi8(clash, _mm256_setzero_si256())));
        const unsigned first = alphabet == 0xFFFFFFFF ? 32 : __builtin_ctz(~alphabet);
        const unsigned whole = first / 4;
        const __m256i slash = _mm256_cmpeq_epi8(in, nibbleMask);
        const __m256i values = _mm256_add_epi8(
            in, _mm256_shuffle_epi8(WideTable(kValueOffsets), _mm256_add_epi8(slash, highNibbles)));
        const __m256i pairs = _mm256_maddubs_epi16(values, _mm256_set1_epi32(0x01400140));
        const __m256i sextets = _mm256_madd_epi16(pairs, _mm256_set1_epi32(0x00011000));
        // Each half's twelve bytes, then the two halves side by side.
        const __m256i bytes = _mm256_shuffle_epi8(sextets, WideTable(kGroupBytes));
        _mm256_storeu_si256(
            reinterpret_cast<__m256i*>(o),
            _mm256_permutevar8x32_epi32(bytes, _mm256_setr_epi32(0, 1, 2, 4, 5, 6, 7, 7)));
        p += 4 * whole;
        o += 3 * whole;
        taken.Add(4 * whole, 3 * whole);
        if (whole != 8 && !StepOverStray(first, p, taken)) {
            break;
        }
    }
    return taken;
}

// The soft line break ("=" and CR LF or LF) at p that writers put between runs of "=XX" at the
// end of each line: its length, 0 for none. Reads three bytes at p.
std::size_t SoftBreakAt(const char* p) {
    return p[0] != '=' ? 0 : p[1] == '\n' ? 2 : p[1] == '\r' && p[2] == '\n' ? 3 : 0;
}

// Runs of "=XX", the way quoted-printable writes 8-bit text, five at a step, for as long as
// sixteen bytes can be read, and the soft line breaks between them. The output stays behind
// the input, so each step's eight bytes written at o fit.
__attribute__((target("ssse3"))) Taken DecodeQuotedRuns(const char* p, const char* end, char* o) {
    Taken taken;
    while (end - p >= 16) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i digit = _mm_sub_epi8(in, _mm_set1_epi8('0'));
        const __m128i letter =
            _mm_sub_epi8(_mm_or_si128(in, _mm_set1_epi8(0x20)), _mm_set1_epi8('a'));
        const __m128i isDigit = _mm_cmpeq_epi8(_mm_min_epu8(digit, _mm_set1_epi8(9)), digit);
        const __m128i isLetter = _mm_cmpeq_epi8(_mm_min_epu8(letter, _mm_set1_epi8(5)), letter);
        const unsigned equals =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_cmpeq_epi8(in, _mm_set1_epi8('='))));
        const unsigned hex =
            static_cast<unsigned>(_mm_movemask_epi8(_mm_or_si128(isDigit, isLetter)));
        constexpr unsigned kEqualsAt = 0x1249;  // bytes 0, 3, 6, 9 and 12
        // The "=XX" among the five, by the bit of their "=", and how many lead.
        const unsigned whole = equals & hex >> 1 & hex >> 2 & kEqualsAt;
        const unsigned leading = whole == kEqualsAt ? 5 : __builtin_ctz(~whole & kEqualsAt) / 3;
        const __m128i values =
            _mm_or_si128(_mm_and_si128(isDigit, digit),
                         _mm_and_si128(isLetter, _mm_add_epi8(letter, _mm_set1_epi8(10))));
        const __m128i halves = _mm_shuffle_epi8(values, Table(kDigitPairs));
        const __m128i bytes = _mm_maddubs_epi16(halves, _mm_set1_epi16(0x0110));
        _mm_storel_epi64(reinterpret_cast<__m128i*>(o), _mm_packus_epi16(bytes, bytes));
        p += 3 * leading;
        o += leading;
        taken.Add(3 * leading, leading);
        if (leading == 5) {
            continue;
        }
        const std::size_t softBreak = SoftBreakAt(p);
        if (softBreak == 0) {
            break;
        }
        p += softBreak;
        taken.Add(softBreak, 0);
    }
    return taken;
}

// Copies the bytes from p up to the next one that quoted-printable treats apart ("=", a blank,
// "_"), sixteen at a time, while sixteen can be read: the count copied, 0 when fewer than
// sixteen are left. Writes sixteen bytes at o each time, which the output, behind the input,
// has room for.
std::size_t CopyPlainRun(const char* p, const char* end, char* o) {
    std::size_t copied = 0;
    while (end - p >= 16) {
        const __m128i in = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
        const __m128i special = _mm_or_si128(_mm_or_si128(_mm_cmpeq_epi8(in, _mm_set1_epi8('=')),
                                                          _mm_cmpeq_epi8(in, _mm_set1_epi8(' '))),
                                             _mm_or_si128(_mm_cmpeq_epi8(in, _mm_set1_epi8('\t')),
                                                          _mm_cmpeq_epi8(in, _mm_set1_epi8('_'))));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(o), in);
        const auto mask = static_cast<unsigned>(_mm_movemask_epi8(special));
        if (mask != 0) {
            return copied + static_cast<unsigned>(__builtin_ctz(mask));
        }
        p += 16;
        o += 16;
        copied += 16;
    }
    return copied;
}

bool HasSsse3() {
    static const bool has = __builtin_cpu_supports("ssse3");
    return has;
}

bool HasAvx2() {
    static const bool has = __builtin_cpu_supports("avx2");
    return has;
}
#endif

// Makes room for at least size bytes at the front of buffer without writing them, unless it
// must grow: a part's decoding then costs no pass that zeroes its room first.
char* RoomFor(std::string& buffer, std::size_t size) {
    if (buffer.size() < size) {
        buffer.resize(size);
    }
    return buffer.data();
}

}  // namespace

TransferEncoding TransferEncodingOf(std::string_view value) {
    value = Trim(value);
    if (EqualsNoCase(value, "base64")) {
        return TransferEncoding::kBase64;
    }
    if (EqualsNoCase(value, "quoted-printable")) {
        return TransferEncoding::kQuotedPrintable;
    }
    return TransferEncoding::kIdentity;
}

std::string_view DecodeBase64In(std::string_view text, std::string& buffer) {
    // Room for a wide block's thirty-two bytes written where only twenty-four count.
    char* const start = RoomFor(buffer, text.size() / 4 * 3 + 3 + 32);
    char* o = start;
    const auto* p = reinterpret_cast<const unsigned char*>(text.data());
    const auto* const end = p + text.size();
#if defined(__x86_64__)
    const bool blocks = HasSsse3();
    const bool wide = HasAvx2();
#else
    constexpr bool blocks = false;
#endif
    unsigned bits = 0;
    int held = 0;
    while (p < end) {
#if defined(__x86_64__)
        // A line of a body is mostly whole blocks of sixteen characters.
        if (blocks && held == 0) {
            Taken taken = wide ? DecodeBase64BlocksWide(p, end, o) : Taken{};
            if (!wide || end - p - static_cast<std::ptrdiff_t>(taken.in) < 32) {
                taken.Add(DecodeBase64Blocks(p + taken.in, end, o + taken.out));
            }
            p += taken.in;
            o += taken.out;
        }
#endif
        // Whole groups of four alphabet characters, the common case, in one step.
        if (held == 0 && end - p >= 4) {
            const int a = kBase64Values[p[0]], b = kBase64Values[p[1]];
            const int c = kBase64Values[p[2]], d = kBase64Values[p[3]];
            if ((a | b | c | d) >= 0) {
                const unsigned group =
                    unsigned(a) << 18 | unsigned(b) << 12 | unsigned(c) << 6 | unsigned(d);
                *o++ = static_cast<char>(group >> 16);
                *o++ = static_cast<char>(group >> 8);
                *o++ = static_cast<char>(group);
                p += 4;
                continue;
            }
        }
        const int v = kBase64Values[*p];
        if (v < 0) {
            if (*p == '=') {
                break;
            }
            ++p;
            continue;
        }
        ++p;
        bits = bits << 6 | static_cast<unsigned>(v);
        if (++held == 4) {
            *o++ = static_cast<char>(bits >> 16);
            *o++ = static_cast<char>(bits >> 8);
            *o++ = static_cast<char>(bits);
            held = 0;
            bits = 0;
        }
    }
    if (held >= 2) {
        *o++ = static_cast<char>(bits >> (6 * held - 8));
    }
    if (held == 3) {
        *o++ = static_cast<char>(bits >> 2);
    }
    return {start, static_cast<std::size_t>(o - start)};
}

std::string_view DecodeQuotedPrintableIn(std::string_view text, std::string& buffer, bool header) {
    // Written through a pointer into room of the input's size: the output is never longer.
    char* const start = RoomFor(buffer, text.size());
    char* o = start;
    const char* p = text.data();
    const char* const end = p + text.size();
#if defined(__x86_64__)
    const bool blocks = HasSsse3();
#endif
    while (p < end) {
        const char c = *p;
        switch (kQpKinds[static_cast<unsigned char>(c)]) {
            case kQpPlain:
                if (const std::size_t run = CopyPlainRun(p, end, o); run > 0) {
                    p += run;
                    o += run;
                    continue;
                }
                *o++ = c;
                ++p;
                continue;
            case kQpEquals:
#if defined(__x86_64__)
                if (blocks) {
                    if (const Taken taken = DecodeQuotedRuns(p, end, o); taken.in > 0) {
                        p += taken.in;
                        o += taken.out;
                        continue;
                    }
                }
#endif
                break;
            case kQpUnderscore:
                *o++ = header ? ' ' : c;
                ++p;
                continue;
            case kQpBlank: {
                if (header) {
                    *o++ = c;
                    ++p;
                    continue;
                }
                // Blanks at the end of a line are transport padding.
                const char* q = p;
                while (q < end && (*q == ' ' || *q == '\t')) {
                    ++q;
                }
                const bool lineEnd =
                    q == end || *q == '\n' || (*q == '\r' && q + 1 < end && q[1] == '\n');
                if (!lineEnd) {
                    while (p < q) {
                        *o++ = *p++;
                    }
                }
                p = q;
                continue;
            }
        }
        if (end - p > 2) {
            const unsigned byte = kHexHigh[static_cast<unsigned char>(p[1])] |
                                  kHexLow[static_cast<unsigned char>(p[2])];
            if (byte < kNotHex) {
                *o++ = static_cast<char>(byte);
                p += 3;
                continue;
            }
        }
        if (!header) {
            // A soft line break: "=", blanks, then the line's end.
            const char* q = p + 1;
            while (q < end && (*q == ' ' || *q == '\t')) {
                ++q;
            }
            if (q < end && *q == '\r') {
                ++q;
            }
            if (q == end || *q == '\n') {
                p = q + (q < end ? 1 : 0);
                continue;
            }
        }
        *o++ = c;
        ++p;
    }
    return {start, static_cast<std::size_t>(o - start)};
}

void DecodeBase64To(std::string_view text, std::string& out) {
    out.resize(DecodeBase64In(text, out).size());
}

void DecodeQuotedPrintableTo(std::string_view text, std::string& out, bool header) {
    out.resize(DecodeQuotedPrintableIn(text, out, header).size());
}

}  // namespace tarsel::mime
