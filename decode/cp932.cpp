// Conversion between the Shift-JIS byte strings used everywhere inside and the UTF-8 text of
// the window and the terminal, through glibc's iconv.
#include "decode/cp932.h"

#include "decode/utf8.h"

#include <iconv.h>

#include <cerrno>

namespace tarsel {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";  // U+FFFD

// An iconv descriptor carries conversion state, so each thread keeps its own pair.
class Converter {
  public:
    Converter(const char* to, const char* from) : handle_(iconv_open(to, from)) {}
    ~Converter() {
        if (Valid()) {
            iconv_close(handle_);
        }
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;

    bool Valid() const { return handle_ != reinterpret_cast<iconv_t>(-1); }

    // Converts as much of in as possible, appending to out; returns the number of input bytes
    // used. Stops at the first sequence that does not convert.
    std::size_t Convert(std::string_view in, std::string& out) {
        iconv(handle_, nullptr, nullptr, nullptr, nullptr);
        char* inPtr = const_cast<char*>(in.data());
        std::size_t inLeft = in.size();
        char buffer[4096];
        while (inLeft > 0) {
            char* outPtr = buffer;
            std::size_t outLeft = sizeof buffer;
            const std::size_t result = iconv(handle_, &inPtr, &inLeft, &outPtr, &outLeft);
            out.append(buffer, static_cast<std::size_t>(outPtr - buffer));
            if (result == static_cast<std::size_t>(-1) && errno != E2BIG) {
                break;
            }
        }
        return in.size() - inLeft;
    }

  private:
    iconv_t handle_;
};

}  // namespace

std::string Cp932ToUtf8(std::string_view cp932) {
    thread_local Converter converter("UTF-8", "CP932");
    std::string out;
    out.reserve(cp932.size() * 3 / 2);
    while (!cp932.empty()) {
        const std::size_t used = converter.Valid() ? converter.Convert(cp932, out) : 0;
        cp932.remove_prefix(used);
        if (!cp932.empty()) {
            // Only the byte that failed is replaced: its neighbour may be a character of its own.
            out += kReplacement;
            cp932.remove_prefix(1);
        }
    }
    return out;
}

std::string Utf8ToCp932(std::string_view utf8, bool* ok) {
    thread_local Converter converter("CP932", "UTF-8");
    if (ok != nullptr) {
        *ok = true;
    }
    std::string out;
    out.reserve(utf8.size());
    while (!utf8.empty()) {
        const std::size_t used = converter.Valid() ? converter.Convert(utf8, out) : 0;
        utf8.remove_prefix(used);
        if (!utf8.empty()) {
            if (ok != nullptr) {
                *ok = false;
            }
            const std::size_t length = Utf8Length(utf8);
            utf8.remove_prefix(length == 0 ? 1 : length);
        }
    }
    return out;
}

}  // namespace tarsel
