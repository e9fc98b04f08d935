// The charset layer on any names and bytes. The first byte picks a name that mail uses, or
// takes one from the input; the name is also respelt (case, punctuation dropped, changed or
// added) from the input, and the rest is text in that charset. Every conversion returns
// well-formed UTF-8; a name in other case is the same charset, and so is a name of mail in
// other punctuation; two spellings that iconv both knows convert alike; the cache of names
// and converters stays within its bounds however many names it meets.
#include <cstddef>
#include <cstdint>
#include <string>

#include "decode/utf8.h"
#include "fuzz/fuzz_support.h"
#include "mime/charset.h"

namespace {

using namespace tarsel;

constexpr const char* kMailNames[] = {
    "utf-8",       "us-ascii",    "iso-2022-jp",     "shift_jis",      "euc-jp",       "iso-8859-1",
    "ISO_8859-2",  "iso-8859-15", "ISO_8859-1:1987", "windows-1252",   "windows-1251", "cp1250",
    "koi8-r",      "koi8-u",      "KOI8-RU",         "gb2312",         "gbk",          "gb18030",
    "big5",        "big5-hkscs",  "euc-kr",          "ks_c_5601-1987", "iso-2022-kr",  "tis-620",
    "windows-874", "utf-16",      "utf-16le",        "UCS-2BE",        "utf-7",        "ibm437",
    "ibm037",      "macintosh",   "x-mac-cyrillic",  "iso-8859-8-i",   "viscii",
};
constexpr std::size_t kMailNameCount = sizeof kMailNames / sizeof kMailNames[0];

bool IsPunctuation(char c) {
    return c == '-' || c == '_' || c == '.' || c == ':';
}

std::string ToggledCase(std::string name) {
    for (char& c : name) {
        if ((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')) {
            c = static_cast<char>(c ^ 0x20);
        }
    }
    return name;
}

std::string Utf8Of(const std::string& bytes, mime::Charset charset, const std::string& name) {
    std::string out;
    mime::AppendUtf8(bytes, charset, name, out);
    fuzz::Check(IsValidUtf8(out), "a conversion gives well-formed UTF-8");
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    const std::uint8_t pick = input.TakeByte();
    const bool mailName = pick < 0x80;
    const std::string name =
        mailName ? kMailNames[pick % kMailNameCount] : input.TakeBytes(input.TakeByte() % 48);
    std::string respelt;
    for (const char c : name) {
        const std::uint8_t how = input.TakeByte();
        if (IsPunctuation(c) && how % 3 != 2) {
            if (how % 3 == 1) {
                respelt += "-_.:"[how / 3 % 4];
            }
            continue;
        }
        respelt += how & 1 ? ToggledCase(std::string(1, c)) : std::string(1, c);
        if (how & 0x80) {
            respelt += "-_.:"[how >> 5 & 3];
        }
    }
    const std::string bytes = input.TakeRest();

    const mime::Charset charset = mime::CharsetOf(name);
    const std::string text = Utf8Of(bytes, charset, name);
    const std::string other = ToggledCase(name);
    fuzz::Check(mime::CharsetOf(other) == charset && Utf8Of(bytes, charset, other) == text,
                "a name in other case is the same charset");
    fuzz::Check(mime::WritesAsciiAsAscii(other) == mime::WritesAsciiAsAscii(name),
                "a name in other case writes ASCII alike");
    const mime::Charset respeltCharset = mime::CharsetOf(respelt);
    if (mailName && respelt.size() <= mime::kMaxCharsetNameBytes) {
        fuzz::Check(respeltCharset == charset,
                    "a mail charset's name in other punctuation is the same charset");
    }
    if (charset == mime::Charset::kOther && respeltCharset == mime::Charset::kOther) {
        fuzz::Check(Utf8Of(bytes, respeltCharset, respelt) == text,
                    "two spellings iconv knows convert alike");
    }
    const mime::CharsetCacheFill fill = mime::CharsetCacheOfThisThread();
    fuzz::Check(fill.names <= mime::kMaxCharsetNames && fill.converters <= mime::kMaxConverters,
                "the cache of names and converters stays within its bounds");
    return 0;
}
