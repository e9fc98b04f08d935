// The one way tarsel-search writes to standard output: escaping, colour and write errors.
#include "cli/printer.h"

#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

#include "decode/cp932_table.h"
#include "decode/safe_text.h"

namespace tarsel::cli {
namespace {

constexpr std::string_view kHitColour = "\x1b[31m";
constexpr std::string_view kNoColour = "\x1b[0m";
constexpr char kHex[] = "0123456789abcdef";

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

void Printer::Escape(unsigned code) {
    Put(EscapeOf(code).text());
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
    WalkEscapes(utf8, false, control);
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
    WalkEscapes(utf8, false, control);
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
                    // Control characters and hidden format controls alike: a JSON reader
                    // gets them back, a terminal that shows the JSON does not act on them.
                    const char text[] = {'\\',
                                         'u',
                                         kHex[code >> 12],
                                         kHex[(code >> 8) & 0xF],
                                         kHex[(code >> 4) & 0xF],
                                         kHex[code & 0xF]};
                    p.Put(std::string_view(text, sizeof text));
                }
            }
        }
    } control{*this};
    WalkEscapes(utf8, true, control);
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

char* Printer::Room(std::size_t size) {
    if (size > capacity_ - used_) {
        Flush();
        if (size > capacity_) {
            return nullptr;
        }
    }
    return buffer_.get() + used_;
}

bool Printer::PutPlainCp932(std::string_view cp932, const Cp932Table& table, bool json) {
    char* const start = Room(Cp932Table::RoomFor(cp932.size()));
    const char* const end = start != nullptr ? table.WriteUtf8Plain(cp932, start, json) : nullptr;
    if (end == nullptr) {
        return false;
    }
    Keep(end);
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
        Cp932Escaped(cp932, table, true);
    }
    Put('"');
}

void Printer::Cp932Field(std::string_view cp932, const Cp932Table& table) {
    if (!PutPlainCp932(cp932, table, false)) {
        Cp932Escaped(cp932, table, false);
    }
}

void Printer::Cp932Escaped(std::string_view cp932, const Cp932Table& table, bool json) {
    if (json) {
        JsonPiece(Converted(cp932, table));
    } else {
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
