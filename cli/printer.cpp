// The one way tarsel-search writes to standard output: escaping, colour and write errors.
#include "cli/printer.h"

#include <unistd.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "decode/cp932_table.h"
#include "decode/utf8.h"

namespace tarsel::cli {
namespace {

constexpr std::string_view kHitColour = "\x1b[31m";
constexpr std::string_view kNoColour = "\x1b[0m";
constexpr char kHex[] = "0123456789abcdef";

// How a walk reads a byte: as it is, as the lead of a three-byte character whose second byte
// may be any continuation byte (most of a Japanese text), or as one that needs a closer look.
enum class ByteKind : unsigned char { kPlain, kThreeByteLead, kOther };
using ByteKinds = std::array<ByteKind, 256>;

// Printable ASCII is plain, except the quote and backslash of a JSON string.
constexpr ByteKinds MakeByteKinds(bool json) {
    ByteKinds kinds{};
    for (int byte = 0; byte < 256; ++byte) {
        if (byte >= 0x20 && byte < 0x7F && !(json && (byte == '"' || byte == '\\'))) {
            kinds[byte] = ByteKind::kPlain;
        } else if (byte >= 0xE1 && byte <= 0xEF && byte != 0xED) {
            kinds[byte] = ByteKind::kThreeByteLead;
        } else {
            kinds[byte] = ByteKind::kOther;
        }
    }
    return kinds;
}
constexpr ByteKinds kTextBytes = MakeByteKinds(false);
constexpr ByteKinds kJsonBytes = MakeByteKinds(true);

// Walks the UTF-8 text, giving each ASCII byte that is not plain (control characters, 0x7F,
// and in JSON the quote and backslash), each C1 control and each byte that is not UTF-8 to
// control.Special(code, isByte), and the runs between to control.Plain.
template <class Control>
void Walk(std::string_view utf8, const ByteKinds& kinds, Control&& control) {
    const auto* const data = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    std::size_t plain = 0;  // start of the run not yet handed over
    std::size_t at = 0;
    for (;;) {
        while (at < size) {
            const ByteKind kind = kinds[data[at]];
            if (kind == ByteKind::kPlain) {
                ++at;
            } else if (kind == ByteKind::kThreeByteLead && size - at > 2 &&
                       (data[at + 1] & 0xC0) == 0x80 && (data[at + 2] & 0xC0) == 0x80) {
                at += 3;
            } else {
                break;
            }
        }
        if (at == size) {
            break;
        }
        unsigned code = data[at];
        bool isByte = false;
        std::size_t length = 1;
        if (code >= 0x80) {
            length = Utf8Length(utf8.substr(at));
            if (length == 0) {
                isByte = true;
                length = 1;
            } else if (code == 0xC2 && data[at + 1] < 0xA0) {
                code = data[at + 1];  // C1: U+0080..U+009F
            } else {
                at += length;
                continue;
            }
        }
        if (at > plain) {
            control.Plain(utf8.substr(plain, at - plain));
        }
        control.Special(code, isByte);
        at += length;
        plain = at;
    }
    if (size > plain) {
        control.Plain(utf8.substr(plain));
    }
}

// Whether well-formed UTF-8 text holds no byte that a walk would change: no C0 control, no
// DEL, in JSON no quote or backslash, and no 0xC2, the lead of every C1 control (and of a few
// characters that are not controls, which then merely take the walk).
bool NothingToEscape(std::string_view utf8, bool json) {
    const auto special = [json](unsigned char byte) {
        return byte <= 0x1F || byte == 0x7F || byte == 0xC2 ||
               (json && (byte == '"' || byte == '\\'));
    };
#if defined(__SSE2__)
    if (utf8.size() >= 16) {
        const __m128i lastControl = _mm_set1_epi8(0x1F);
        const __m128i del = _mm_set1_epi8(0x7F);
        const __m128i c1Lead = _mm_set1_epi8(static_cast<char>(0xC2));
        const __m128i quote = _mm_set1_epi8(json ? '"' : 0);
        const __m128i backslash = _mm_set1_epi8(json ? '\\' : 0);
        const auto plain = [&](std::size_t at) {
            const __m128i bytes =
                _mm_loadu_si128(reinterpret_cast<const __m128i*>(utf8.data() + at));
            // A byte is at most 0x1F when the unsigned minimum with 0x1F is the byte itself;
            // the zero bytes that stand in for the quote and backslash outside JSON are
            // controls anyway.
            const __m128i found = _mm_or_si128(
                _mm_or_si128(_mm_cmpeq_epi8(_mm_min_epu8(bytes, lastControl), bytes),
                             _mm_cmpeq_epi8(bytes, del)),
                _mm_or_si128(
                    _mm_cmpeq_epi8(bytes, c1Lead),
                    _mm_or_si128(_mm_cmpeq_epi8(bytes, quote), _mm_cmpeq_epi8(bytes, backslash))));
            return _mm_movemask_epi8(found) == 0;
        };
        std::size_t at = 0;
        for (; at + 16 < utf8.size(); at += 16) {
            if (!plain(at)) {
                return false;
            }
        }
        return plain(utf8.size() - 16);  // the last block overlaps the one before
    }
#endif
    return std::none_of(utf8.begin(), utf8.end(),
                        [&](char c) { return special(static_cast<unsigned char>(c)); });
}

std::array<char, 4> EscapeOf(unsigned code) {
    return {'\\', 'x', kHex[(code >> 4) & 0xF], kHex[code & 0xF]};
}

}  // namespace

Printer::Printer(int fd, bool colour)
    : fd_(fd), colour_(colour), capacity_(64 * 1024), buffer_(new char[capacity_]) {}

namespace {

// The buffer of a thread's collecting printers, handed from one to the next: a thread that
// collects page after page allocates it once.
thread_local std::unique_ptr<char[]> t_collectBuffer;
constexpr std::size_t kCollectBufferSize = 8 * 1024;  // a page or so of rows

}  // namespace

Printer::Printer(std::string& sink)
    : sink_(&sink), capacity_(kCollectBufferSize), buffer_(std::move(t_collectBuffer)) {
    if (buffer_ == nullptr) {
        buffer_ = std::make_unique_for_overwrite<char[]>(capacity_);
    }
}

Printer::~Printer() {
    if (sink_ != nullptr) {
        t_collectBuffer = std::move(buffer_);
    }
}

std::string EscapedForMessage(std::string_view text) {
    struct {
        std::string out;
        void Plain(std::string_view run) { out += run; }
        void Special(unsigned code, bool) {
            const std::array<char, 4> escape = EscapeOf(code);
            out.append(escape.data(), escape.size());
        }
    } control;
    Walk(text, kTextBytes, control);
    return std::move(control.out);
}

void Printer::Escape(unsigned code) {
    const std::array<char, 4> escape = EscapeOf(code);
    Put(std::string_view(escape.data(), escape.size()));
}

void Printer::Number(long long value) {
    char text[24];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    (void)ec;  // 24 characters hold any long long
    Put(std::string_view(text, static_cast<std::size_t>(end - text)));
}

void Printer::Field(std::string_view utf8, bool wellFormed) {
    if (wellFormed && NothingToEscape(utf8, false)) {
        Put(utf8);
        return;
    }
    struct {
        Printer& p;
        void Plain(std::string_view run) { p.Put(run); }
        void Special(unsigned code, bool isByte) {
            if (!isByte && (code == '\t' || code == '\n' || code == '\r')) {
                p.Put(' ');  // a tab or line end inside a field would break the columns
            } else {
                p.Escape(code);
            }
        }
    } control{*this};
    Walk(utf8, kTextBytes, control);
}

void Printer::BodyPiece(std::string_view utf8, bool hit) {
    struct {
        Printer& p;
        void Settle(bool lineFeedFollows) {
            if (p.pendingCr_ && !lineFeedFollows) {
                // A bare CR ends a line as old mailers wrote it; written as it is, it would let
                // the next line overwrite this one.
                p.Put('\n');
            }
            p.pendingCr_ = false;
        }
        void Plain(std::string_view run) {
            Settle(false);
            p.Put(run);
        }
        void Special(unsigned code, bool isByte) {
            const bool text = !isByte && (code == '\t' || code == '\n' || code == '\r');
            Settle(text && code == '\n');
            if (text && code == '\r') {
                p.pendingCr_ = true;
            } else if (text) {
                p.Put(static_cast<char>(code));
            } else {
                p.Escape(code);
            }
        }
    } control{*this};
    const bool marked = hit && colour_;
    if (marked) {
        Put(kHitColour);
    }
    Walk(utf8, kTextBytes, control);
    if (marked) {
        Put(kNoColour);
    }
}

void Printer::EndBody() {
    if (pendingCr_) {
        Put('\n');
        pendingCr_ = false;
    }
}

void Printer::JsonPiece(std::string_view utf8) {
    struct {
        Printer& p;
        void Plain(std::string_view run) { p.Put(run); }
        void Special(unsigned code, bool isByte) {
            if (isByte) {
                p.Put("\xEF\xBF\xBD");  // U+FFFD
                return;
            }
            switch (code) {
                case '"':
                    return p.Put("\\\"");
                case '\\':
                    return p.Put("\\\\");
                case '\b':
                    return p.Put("\\b");
                case '\f':
                    return p.Put("\\f");
                case '\n':
                    return p.Put("\\n");
                case '\r':
                    return p.Put("\\r");
                case '\t':
                    return p.Put("\\t");
                default: {
                    const char text[] = {'\\', 'u', '0', '0', kHex[code >> 4], kHex[code & 0xF]};
                    p.Put(std::string_view(text, sizeof text));
                }
            }
        }
    } control{*this};
    Walk(utf8, kJsonBytes, control);
}

void Printer::JsonString(std::string_view utf8, bool wellFormed) {
    Put('"');
    if (wellFormed && NothingToEscape(utf8, true)) {
        Put(utf8);
    } else {
        JsonPiece(utf8);
    }
    Put('"');
}

bool Printer::PutPlainCp932(std::string_view cp932, const Cp932Table& table, bool json) {
    const std::size_t room = Cp932Table::RoomFor(cp932.size());
    if (room > capacity_ - used_) {
        Flush();
        if (room > capacity_) {
            return false;
        }
    }
    char* const start = buffer_.get() + used_;
    const char* const end = table.WriteUtf8(cp932, start);
    if (end == nullptr || !NothingToEscape(std::string_view(start, end - start), json)) {
        return false;
    }
    used_ += static_cast<std::size_t>(end - start);
    return true;
}

namespace {

// The UTF-8 form of text to escape, in a buffer each thread keeps.
std::string_view Converted(std::string_view cp932, const Cp932Table& table) {
    thread_local std::string converted;
    return table.Convert(cp932, converted);
}

}  // namespace

void Printer::JsonCp932String(std::string_view cp932, const Cp932Table& table) {
    Put('"');
    if (!PutPlainCp932(cp932, table, true)) {
        JsonPiece(Converted(cp932, table));
    }
    Put('"');
}

void Printer::Cp932Field(std::string_view cp932, const Cp932Table& table) {
    if (!PutPlainCp932(cp932, table, false)) {
        Field(Converted(cp932, table), true);
    }
}

void Printer::PutPastBuffer(std::string_view text) {
    Flush();
    if (text.size() > capacity_) {
        Write(text);  // too big for the buffer: written as it is
        return;
    }
    std::memcpy(buffer_.get(), text.data(), text.size());
    used_ = text.size();
}

void Printer::Write(std::string_view rest) {
    if (sink_ != nullptr) {
        sink_->append(rest);
        return;
    }
    // After a failed write the output is lost already; Finish reports it.
    while (!rest.empty() && error_ == 0) {
        const ssize_t n = ::write(fd_, rest.data(), rest.size());
        if (n > 0) {
            rest.remove_prefix(static_cast<std::size_t>(n));
        } else if (n == 0) {
            error_ = EIO;  // nothing taken and no reason given
        } else if (errno != EINTR) {
            error_ = errno;
        }
    }
}

void Printer::Flush() {
    Write(std::string_view(buffer_.get(), used_));
    used_ = 0;
}

int Printer::Finish(std::ostream& err) {
    Flush();
    if (error_ == 0) {
        return 0;
    }
    if (error_ == EPIPE) {
        return -1;
    }
    err << "tarsel-search: 標準出力に書き込めません。\n" << std::strerror(error_) << "\n";
    return 2;
}

}  // namespace tarsel::cli
