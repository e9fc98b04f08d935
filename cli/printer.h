// The one way tarsel-search writes to standard output. It applies the escaping of text that
// comes from mails (decode/safe_text.h), the colour of hits and the handling of write errors, so
// no output path can let a mail's control bytes reach the terminal or lose a failed write.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace tarsel {
class Cp932Table;
}

namespace tarsel::cli {

class Printer {
  public:
    // Writes to the file descriptor fd (not owned); colour marks the hits of a body.
    Printer(int fd, bool colour);
    // Appends to sink instead, by Finish at the latest: output made on another thread, which
    // the printer of the file then writes with Own.
    explicit Printer(std::string& sink);
    ~Printer();
    Printer(const Printer&) = delete;
    Printer& operator=(const Printer&) = delete;

    // The program's own text, written as it is.
    void Own(std::string_view text) { Put(text); }  // inline: mostly short literals
    void Number(long long value);

    // UTF-8 text of a mail in a column of the text output: tabs and line ends become blanks,
    // every other control character (and any byte that is not UTF-8) is written as \xHH,
    // every hidden format control (decode/safe_text.h) as \u{hhhh}.
    // wellFormed: the text is known to be well-formed UTF-8 (a converter's output), so that
    // text without a byte to escape is written as it is, without being walked.
    void Field(std::string_view utf8, bool wellFormed = false);
    // A piece of a mail's body: tabs and line ends stay (CR LF becomes LF), every other
    // control character is written as \xHH, a hidden format control as \u{hhhh}; a hit is wrapped
    // in the colour codes. A CR at the end of a piece waits for the next piece; EndBody settles it.
    void BodyPiece(std::string_view utf8, bool hit);
    void EndBody();

    // A piece of the inside of a JSON string: quotes, backslashes, every control character
    // (C0, DEL, C1) and every hidden format control escaped; a byte that is not UTF-8
    // becomes U+FFFD.
    void JsonPiece(std::string_view utf8);
    // A whole JSON string with its quotes; wellFormed as for Field.
    void JsonString(std::string_view utf8, bool wellFormed = false);
    // CP932 text written as JsonString and Field write its UTF-8 form (well-formed): when
    // nothing in it needs escaping, the table converts it straight into the output.
    void JsonCp932String(std::string_view cp932, const Cp932Table& table);
    void Cp932Field(std::string_view cp932, const Cp932Table& table);
    // CP932 text that the table found something to escape in: converted, then escaped as the
    // inside of a JSON string (json) or as a column (Field).
    void Cp932Escaped(std::string_view cp932, const Cp932Table& table, bool json);

    // Room for size bytes at the end of the buffer, to be written through the pointer and
    // kept with Keep (or left, which keeps nothing); null when the buffer cannot hold size.
    char* Room(std::size_t size);
    // Keeps what was written from the last Room up to end.
    void Keep(const char* end) { used_ = static_cast<std::size_t>(end - buffer_.get()); }

    // Writes what is buffered (or appends it to the sink).
    void Flush();
    // Writes what is buffered. Returns 0 when everything was written, 2 after a failed write
    // (with a message on err) and -1 after a closed pipe (quietly: the reader had enough).
    int Finish(std::ostream& err);

  private:
    void Put(char c) {
        if (used_ < capacity_) {
            buffer_[used_++] = c;
            return;
        }
        PutPastBuffer(std::string_view(&c, 1));
    }
    // Most pieces are short and fit the buffer: those are copied here, inline.
    void Put(std::string_view text) {
        if (text.size() <= capacity_ - used_) {
            std::memcpy(buffer_.get() + used_, text.data(), text.size());
            used_ += text.size();
            return;
        }
        PutPastBuffer(text);
    }
    void PutPastBuffer(std::string_view text);
    // Converts cp932 at the end of the buffer and keeps it there when nothing in it needs
    // escaping; false, with nothing kept, otherwise.
    bool PutPlainCp932(std::string_view cp932, const Cp932Table& table, bool json);
    void Write(std::string_view text);
    void Escape(unsigned code);

    int fd_ = -1;
    std::string* sink_ = nullptr;  // where the output goes instead of fd_
    bool colour_ = false;
    bool pendingCr_ = false;  // a body's CR whose next byte is not known yet
    int error_ = 0;           // errno of the first failed write; later output is dropped
    std::size_t capacity_;    // of buffer_
    std::unique_ptr<char[]> buffer_;
    std::size_t used_ = 0;
};

}  // namespace tarsel::cli
