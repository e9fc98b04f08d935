// The one way tarsel-search writes to standard output: escaping, colour and write errors.
#include "cli/printer.h"

#include <unistd.h>

#include <array>
#include <cerrno>
#include <charconv>
#include <cstring>

#include "decode/utf8.h"

namespace tarsel::cli {
namespace {

constexpr std::string_view kHitColour = "\x1b[31m";
constexpr std::string_view kNoColour = "\x1b[0m";
constexpr char kHex[] = "0123456789abcdef";

// How the JSON pass reads a byte: ASCII kept as it is, the lead of a three-byte character
// whose second byte may be any continuation byte, or anything that needs a closer look.
enum class JsonByte : unsigned char { kPlain, kThreeByteLead, kOther };

constexpr std::array<JsonByte, 256> MakeJsonBytes() {
    std::array<JsonByte, 256> kinds{};
    for (int byte = 0; byte < 256; ++byte) {
        if (byte >= 0x20 && byte < 0x7F && byte != '"' && byte != '\\') {
            kinds[byte] = JsonByte::kPlain;
        } else if (byte >= 0xE1 && byte <= 0xEF && byte != 0xED) {
            kinds[byte] = JsonByte::kThreeByteLead;
        } else {
            kinds[byte] = JsonByte::kOther;
        }
    }
    return kinds;
}
constexpr std::array<JsonByte, 256> kJsonBytes = MakeJsonBytes();

// Walks the UTF-8 text, giving each control character (code < 0x20, 0x7F or C1) and each byte
// that is not UTF-8 to control.Special(code, isByte), and the runs between to control.Plain.
template <class Control>
void Walk(std::string_view utf8, Control&& control) {
    std::size_t plain = 0;  // start of the run not yet written
    std::size_t at = 0;
    while (at < utf8.size()) {
        const auto byte = static_cast<unsigned char>(utf8[at]);
        unsigned code = 0;
        bool isByte = false;
        std::size_t length = 1;
        if (byte >= 0x20 && byte < 0x7F) {
            ++at;
            continue;
        }
        if (byte < 0x80) {
            code = byte;
        } else {
            length = Utf8Length(utf8.substr(at));
            if (length == 0) {
                code = byte;
                isByte = true;
                length = 1;
            } else if (byte == 0xC2 && static_cast<unsigned char>(utf8[at + 1]) < 0xA0) {
                code = static_cast<unsigned char>(utf8[at + 1]);  // C1: U+0080..U+009F
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
    if (utf8.size() > plain) {
        control.Plain(utf8.substr(plain));
    }
}

std::array<char, 4> EscapeOf(unsigned code) {
    return {'\\', 'x', kHex[(code >> 4) & 0xF], kHex[code & 0xF]};
}

}  // namespace

Printer::Printer(int fd, bool colour) : fd_(fd), colour_(colour) {
    buffer_ = std::make_unique<char[]>(kBufferSize);
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
    Walk(text, control);
    return std::move(control.out);
}

void Printer::Escape(unsigned code) {
    const std::array<char, 4> escape = EscapeOf(code);
    Put(std::string_view(escape.data(), escape.size()));
}

void Printer::Own(std::string_view text) {
    Put(text);
}

void Printer::Number(long long value) {
    char text[24];
    const auto [end, ec] = std::to_chars(text, text + sizeof text, value);
    (void)ec;  // 24 characters hold any long long
    Put(std::string_view(text, static_cast<std::size_t>(end - text)));
}

void Printer::Field(std::string_view utf8) {
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
    Walk(utf8, control);
}

void Printer::BodyPiece(std::string_view utf8, bool hit) {
    struct {
        Printer& p;
        void Settle(bool lineFeedFollows) {
            if (p.pendingCr_ && !lineFeedFollows) {
                p.Escape('\r');  // a lone CR would let a line overwrite itself
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
    Walk(utf8, control);
    if (marked) {
        Put(kNoColour);
    }
}

void Printer::EndBody() {
    if (pendingCr_) {
        Escape('\r');
        pendingCr_ = false;
    }
}

void Printer::JsonPiece(std::string_view utf8) {
    // One pass: runs of text that stays as it is go to the buffer whole; only quotes,
    // backslashes, control characters and bytes that are not UTF-8 are written one by one.
    const auto* const data = reinterpret_cast<const unsigned char*>(utf8.data());
    const std::size_t size = utf8.size();
    std::size_t plain = 0;
    std::size_t at = 0;
    for (;;) {
        while (at < size) {
            const JsonByte kind = kJsonBytes[data[at]];
            if (kind == JsonByte::kPlain) {
                ++at;
            } else if (kind == JsonByte::kThreeByteLead && size - at > 2 &&
                       (data[at + 1] & 0xC0) == 0x80 && (data[at + 2] & 0xC0) == 0x80) {
                at += 3;  // most of a Japanese text: a character with no exception in its range
            } else {
                break;
            }
        }
        if (at == size) {
            break;
        }
        const unsigned char byte = data[at];
        unsigned code = byte;
        bool isByte = false;
        std::size_t length = 1;
        if (byte >= 0x80) {
            length = Utf8Length(utf8.substr(at));
            if (length == 0) {
                isByte = true;
                length = 1;
            } else if (byte == 0xC2 && data[at + 1] < 0xA0) {
                code = data[at + 1];  // C1: U+0080..U+009F
            } else {
                at += length;
                continue;
            }
        }
        Put(utf8.substr(plain, at - plain));
        at += length;
        plain = at;
        if (isByte) {
            Put("\xEF\xBF\xBD");  // U+FFFD
            continue;
        }
        switch (code) {
            case '"':
                Put("\\\"");
                break;
            case '\\':
                Put("\\\\");
                break;
            case '\b':
                Put("\\b");
                break;
            case '\f':
                Put("\\f");
                break;
            case '\n':
                Put("\\n");
                break;
            case '\r':
                Put("\\r");
                break;
            case '\t':
                Put("\\t");
                break;
            default: {
                const char text[] = {'\\', 'u', '0', '0', kHex[code >> 4], kHex[code & 0xF]};
                Put(std::string_view(text, sizeof text));
            }
        }
    }
    Put(utf8.substr(plain));
}

void Printer::JsonString(std::string_view utf8) {
    Put('"');
    JsonPiece(utf8);
    Put('"');
}

void Printer::PutPastBuffer(std::string_view text) {
    Flush();
    if (text.size() > kBufferSize) {
        Write(text);  // too big for the buffer: written as it is
        return;
    }
    std::memcpy(buffer_.get(), text.data(), text.size());
    used_ = text.size();
}

void Printer::Write(std::string_view rest) {
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
