// Charset names and their converters: a name is one charset in any case and punctuation, and
// each converter is opened once per thread however a mail's parts alternate between charsets.
#include "mime/charset.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "mime/decoded_search.h"

namespace tarsel::mime {
namespace {

std::string Utf8Of(std::string_view bytes, std::string_view name) {
    std::string out;
    AppendUtf8(bytes, CharsetOf(name), name, out);
    return out;
}

TEST(CharsetTest, ReadsANameInAnyCaseAndPunctuation) {
    const std::string bytes = "a\xa4\xb1\xc1\xe9\xfe";
    const struct {
        const char* iconvName;
        std::vector<const char*> names;
    } cases[] = {
        {"ISO-8859-2", {"iso-8859-2", "ISO_8859-2", "Iso8859.2", "ISO_8859-2:1987", "latin2"}},
        {"CP1251", {"windows-1251", "Windows_1251", "cp-1251"}},
        {"KOI8-RU", {"koi8-ru", "KOI8RU", "koi8_ru"}},
        {"UCS-2BE", {"ucs-2be", "UCS2BE"}},
        {"MACCYRILLIC", {"x-mac-cyrillic"}},
        {"CP949", {"ks_c_5601-1987"}},
        {"UTF-7", {"unicode-1-1-utf-7"}},
        // Known to iconv only as written (the name itself, case aside), and to Python's labels.
        {"EBCDIC-CP-US", {"ebcdic-cp-us", "EBCDIC_CP_US"}},
    };
    for (const auto& c : cases) {
        ASSERT_EQ(CharsetOf(c.iconvName), Charset::kOther) << c.iconvName;
        const std::string want = Utf8Of(bytes, c.iconvName);
        for (const char* name : c.names) {
            EXPECT_EQ(CharsetOf(name), Charset::kOther) << name;
            EXPECT_EQ(Utf8Of(bytes, name), want) << name;
        }
    }
    for (const char* none :
         {"", "x-unknown", "koi8\x80r", "iso-8859-1-and-then-far-more-than-any-name-has"}) {
        EXPECT_EQ(CharsetOf(none), Charset::kNone) << none;
    }
    EXPECT_EQ(CharsetOf("Shift-JIS"), Charset::kCp932);
}

// The mail of the slow search: text parts that cycle through more charsets than any small
// cache holds, spelt another way every other cycle, and names iconv does not know (without
// punctuation, so that they are only tried by their keys).
std::string CyclingMail(int cycles) {
    std::vector<std::string> names = {"KOI8-R", "KOI8-RU", "MACINTOSH", "BIG5",  "GB18030",
                                      "EUC-KR", "TIS-620", "UTF-16",    "UTF-7", "unknown1"};
    for (const int n : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 13, 14, 15, 16}) {
        names.push_back("ISO-8859-" + std::to_string(n));
    }
    for (const int n : {1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258}) {
        names.push_back("Windows-" + std::to_string(n));
    }
    for (const int n : {437, 737, 775, 850, 852, 855, 857, 860, 861, 862,
                        863, 864, 865, 866, 869, 874, 936, 949, 950, 1125}) {
        names.push_back("CP" + std::to_string(n));
    }
    for (const int n : {273, 277, 278, 280, 284, 285, 297, 500, 1047}) {
        names.push_back("IBM" + std::to_string(n));
    }
    std::string mail = "Subject: x\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (int cycle = 0; cycle < cycles; ++cycle) {
        for (std::string name : names) {
            for (char& c : name) {
                c = cycle % 2 == 0 ? c : c == '-' ? '_' : static_cast<char>(std::tolower(c));
            }
            mail += "--b\r\nContent-Type: text/plain; charset=" + name + "\r\n\r\nhello\r\n";
        }
    }
    return mail + "--b--\r\n";
}

TEST(CharsetTest, OpensEachConverterOncePerThread) {
    const DecodedNeedle needle("zq");
    auto opensInNewThread = [&](const std::string& mail, int searches) {
        std::uint64_t opens = 0;
        std::thread([&] {
            const std::uint64_t before = g_iconvOpens.load();
            for (int i = 0; i < searches; ++i) {
                CountInMail(mail, needle);
                TextsOfMail(mail);
            }
            opens = g_iconvOpens.load() - before;
        }).join();
        return opens;
    };
    // The needle's own converters, and one per name and direction, in a fresh thread.
    const std::uint64_t once = opensInNewThread(CyclingMail(1), 1);
    EXPECT_LT(once, 400u);
    EXPECT_EQ(opensInNewThread(CyclingMail(20), 1), once);
    EXPECT_EQ(opensInNewThread(CyclingMail(2), 10), once);
}

}  // namespace
}  // namespace tarsel::mime
