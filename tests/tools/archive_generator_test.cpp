// The archive generator: reproducible bytes, the requested mail count or size, well-formed
// mails and Japanese text, the keyword shares the sample searches rely on, and the committed
// sample archive still being what its recipe makes.
#include "bench/archive_generator.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <optional>
#include <regex>
#include <string>
#include <string_view>
#include <vector>

#include "tests/support/temp_files.h"

namespace tarsel {
namespace {

constexpr std::string_view kMark = "\x7f\x20\x7f";

ArchiveOptions Mails(std::size_t count, std::uint64_t seed = 1) {
    ArchiveOptions o;
    o.seed = seed;
    o.mailCount = count;
    return o;
}

ArchiveOptions Size(std::uint64_t bytes, std::uint64_t seed = 1) {
    ArchiveOptions o;
    o.seed = seed;
    o.targetBytes = bytes;
    return o;
}

// The mails of an archive, each from its mark up to the next mark.
std::vector<std::string_view> SplitMails(std::string_view archive) {
    std::vector<std::string_view> mails;
    std::size_t at = archive.find(kMark);
    while (at != std::string_view::npos) {
        const std::size_t next = archive.find(kMark, at + kMark.size());
        mails.push_back(archive.substr(at, next == std::string_view::npos ? next : next - at));
        at = next;
    }
    return mails;
}

std::vector<std::string_view> Lines(std::string_view text) {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    for (std::size_t end = text.find("\r\n"); end != std::string_view::npos;
         end = text.find("\r\n", begin)) {
        lines.push_back(text.substr(begin, end - begin));
        begin = end + 2;
    }
    return lines;
}

std::optional<std::string> Iconv(const char* to, const char* from, std::string_view bytes) {
    iconv_t cd = iconv_open(to, from);
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return std::nullopt;
    }
    std::string in(bytes);
    std::string out(in.size() * 4 + 16, '\0');
    char* inPtr = in.data();
    std::size_t inLeft = in.size();
    char* outPtr = out.data();
    std::size_t outLeft = out.size();
    constexpr std::size_t kFailed = static_cast<std::size_t>(-1);
    // The second call lets a stateful encoding write its closing escape sequence.
    const bool ok = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft) != kFailed &&
                    iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != kFailed;
    iconv_close(cd);
    if (!ok || inLeft != 0) {
        return std::nullopt;
    }
    out.resize(out.size() - outLeft);
    return out;
}

// The bare JIS X 0208 pairs of a Japanese word, as a search for it looks for them.
std::string JisPairs(std::string_view utf8) {
    const std::optional<std::string> iso = Iconv("ISO-2022-JP", "UTF-8", utf8);
    if (!iso || !iso->starts_with("\x1b$B") || !iso->ends_with("\x1b(B")) {
        ADD_FAILURE() << "no JIS X 0208 form: " << utf8;
        return std::string(1, '\0');  // no archive holds a NUL byte
    }
    return iso->substr(3, iso->size() - 6);
}

std::optional<std::string> DecodeBase64Strict(std::string_view text) {
    static const std::string kAlphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    if (text.size() % 4 != 0) {
        return std::nullopt;
    }
    std::string out;
    for (std::size_t i = 0; i < text.size(); i += 4) {
        unsigned v = 0;
        int pads = 0;
        for (std::size_t j = 0; j < 4; ++j) {
            const char c = text[i + j];
            const std::size_t digit = kAlphabet.find(c);
            if (c == '=' && i + 4 == text.size() && j >= 2) {
                ++pads;
            } else if (digit == std::string::npos || pads > 0) {
                return std::nullopt;
            }
            v = v << 6 | (c == '=' ? 0 : static_cast<unsigned>(digit));
        }
        out += static_cast<char>(v >> 16);
        if (pads < 2) {
            out += static_cast<char>(v >> 8 & 0xFF);
        }
        if (pads < 1) {
            out += static_cast<char>(v & 0xFF);
        }
    }
    return out;
}

std::size_t MailsHolding(const std::vector<std::string_view>& mails, std::string_view bytes) {
    std::size_t n = 0;
    for (std::string_view mail : mails) {
        n += mail.find(bytes) != std::string_view::npos;
    }
    return n;
}

TEST(ArchiveGeneratorTest, SameOptionsGiveSameBytesAndSeedsDiffer) {
    EXPECT_EQ(GenerateArchive(Mails(200, 7)), GenerateArchive(Mails(200, 7)));
    EXPECT_EQ(GenerateArchive(Size(150000, 7)), GenerateArchive(Size(150000, 7)));
    EXPECT_NE(GenerateArchive(Mails(200, 7)), GenerateArchive(Mails(200, 8)));
}

TEST(ArchiveGeneratorTest, WritesExactlyTheRequestedNumberOfMails) {
    for (std::size_t count : {0, 1, 2, 37, 500}) {
        const std::string archive = GenerateArchive(Mails(count, count + 3));
        EXPECT_EQ(SplitMails(archive).size(), count) << count << " mails";
        if (count > 0) {
            EXPECT_TRUE(archive.starts_with(kMark)) << count << " mails";
        } else {
            EXPECT_TRUE(archive.empty());
        }
    }
}

TEST(ArchiveGeneratorTest, EveryMailIsHeaderLinesBlankLineAndCrLfBody) {
    const std::string archive = GenerateArchive(Mails(1000, 11));
    EXPECT_EQ(archive.find('\0'), std::string::npos);
    const std::regex firstLine("^(Return-Path: <[^>]+>|From \\S+@\\S+ .+|Received: .+)$");
    for (std::string_view mail : SplitMails(archive)) {
        const std::size_t headerEnd = mail.find("\r\n\r\n");
        ASSERT_NE(headerEnd, std::string_view::npos) << mail.substr(0, 200);
        ASSERT_TRUE(mail.ends_with("\r\n")) << mail.substr(0, 200);
        const std::string first(mail.substr(kMark.size(), mail.find("\r\n") - kMark.size()));
        EXPECT_TRUE(std::regex_match(first, firstLine)) << first;
        std::size_t lineBreaks = 0;
        for (std::size_t i = 0; i < mail.size(); ++i) {
            if (mail[i] == '\n' || mail[i] == '\r') {
                const bool pairStart =
                    mail[i] == '\r' && i + 1 < mail.size() && mail[i + 1] == '\n';
                const bool pairEnd = mail[i] == '\n' && i > 0 && mail[i - 1] == '\r';
                ASSERT_TRUE(pairStart || pairEnd) << "lone line break at " << i;
                lineBreaks += pairStart;
            }
        }
        EXPECT_GT(lineBreaks, 10u);
    }
}

TEST(ArchiveGeneratorTest, SizeTargetIsReachedWithinOneHeaderAndNeverPassed) {
    for (std::uint64_t target : {5000ULL, 65536ULL, 100000ULL, 1000003ULL, 3000000ULL}) {
        const std::string archive = GenerateArchive(Size(target, target));
        EXPECT_LE(archive.size(), target) << target;
        EXPECT_GT(archive.size() + 3000, target) << target;
        EXPECT_TRUE(archive.ends_with("\r\n")) << target;
        for (std::string_view mail : SplitMails(archive)) {
            ASSERT_NE(mail.find("\r\n\r\n"), std::string_view::npos) << target;
        }
    }
}

TEST(ArchiveGeneratorTest, TargetSmallerThanAnyMailGivesAnEmptyArchive) {
    EXPECT_EQ(GenerateArchive(Size(1)), "");
    EXPECT_EQ(GenerateArchive(Size(200)), "");
}

TEST(ArchiveGeneratorTest, MailsAreLargeEnoughToKeepAFullArchiveUnderTheMailLimit) {
    // 100000000 bytes must hold fewer than 100000 mails.
    const std::string archive = GenerateArchive(Size(3000000, 5));
    EXPECT_LT(SplitMails(archive).size() * 1000, archive.size());
}

TEST(ArchiveGeneratorTest, JapaneseTextIsWellFormedInEveryEncoding) {
    const std::string archive = GenerateArchive(Mails(1500, 13));
    const std::regex word("=\\?ISO-2022-JP\\?B\\?([^?]*)\\?=");
    std::size_t words = 0;
    std::size_t jisLines = 0;
    std::size_t sjisBodies = 0;
    for (std::string_view mail : SplitMails(archive)) {
        const std::size_t headerEnd = mail.find("\r\n\r\n");
        const std::string head(mail.substr(0, headerEnd));
        const std::string_view body = mail.substr(headerEnd + 4);
        for (auto it = std::sregex_iterator(head.begin(), head.end(), word);
             it != std::sregex_iterator(); ++it) {
            const std::optional<std::string> raw = DecodeBase64Strict((*it)[1].str());
            ASSERT_TRUE(raw.has_value()) << (*it)[0];
            EXPECT_TRUE(raw->starts_with("\x1b$B") && raw->ends_with("\x1b(B")) << (*it)[0];
            EXPECT_TRUE(Iconv("UTF-8", "ISO-2022-JP", *raw).has_value()) << (*it)[0];
            ++words;
        }
        if (head.find("charset=Shift_JIS") != std::string::npos) {
            ++sjisBodies;
            EXPECT_TRUE(Iconv("UTF-8", "CP932", body).has_value()) << head;
            continue;
        }
        for (std::string_view line : Lines(body)) {
            for (unsigned char c : line) {
                ASSERT_LT(c, 0x80) << line;
            }
            // The last two-byte segment of a line must be closed before the line ends.
            const std::size_t in = line.rfind("\x1b$B");
            if (in != std::string_view::npos) {
                ++jisLines;
                const std::size_t back = line.rfind("\x1b(B");
                const std::size_t roman = line.rfind("\x1b(J");
                const bool closed = (back != std::string_view::npos && back > in) ||
                                    (roman != std::string_view::npos && roman > in);
                EXPECT_TRUE(closed) << line;
            }
            EXPECT_TRUE(Iconv("UTF-8", "ISO-2022-JP", line).has_value()) << line;
        }
    }
    EXPECT_GT(words, 1000u);
    EXPECT_GT(jisLines, 1000u);
    EXPECT_GT(sjisBodies, 10u);
}

TEST(ArchiveGeneratorTest, KeywordsAppearInTheirShareOfMails) {
    const std::string archive = GenerateArchive(Mails(3000, 17));
    const std::vector<std::string_view> mails = SplitMails(archive);
    struct Share {
        std::string_view word;
        double low;
        double high;
    };
    for (const Share& s :
         {Share{"検索", 0.15, 0.27}, Share{"メール", 0.40, 0.55}, Share{"会議", 0.22, 0.36},
          Share{"予定", 0.28, 0.42}, Share{"報告", 0.20, 0.32}}) {
        const double share =
            static_cast<double>(MailsHolding(mails, JisPairs(s.word))) / mails.size();
        EXPECT_GE(share, s.low) << s.word;
        EXPECT_LE(share, s.high) << s.word;
    }
}

TEST(ArchiveGeneratorTest, HeadersShowTheShapesOfRealArchives) {
    const std::string archive = GenerateArchive(Mails(1000, 19));
    struct Shape {
        const char* name;
        const char* pattern;
    };
    const Shape shapes[] = {
        {"Received line", "\r\nReceived: from "},
        {"encoded sender", "\r\nFrom: =\\?ISO-2022-JP\\?B\\?[A-Za-z0-9+/=]+\\?= <[^>]+>\r\n"},
        {"ASCII sender", "\r\nFrom: [A-Z][a-z]+ [A-Z][a-z]+ <[^>]+>\r\n"},
        {"folded subject", "\r\nSubject: [^\r]*\\?=\r\n[ \t]=\\?ISO-2022-JP\\?B\\?[^\r]+\r\n"},
        {"three-line subject",
         "\r\nSubject: [^\r]*\r\n[ \t]=\\?ISO-2022-JP[^\r]+\r\n[ \t]=\\?ISO-2022-JP[^\r]+\r\n"},
        {"ASCII subject", "\r\nSubject: [A-Za-z][ -~]*\r\n"},
        {"one-digit day",
         "\r\nDate: [A-Z][a-z]{2}, [1-9] [A-Z][a-z]{2} \\d{4} [0-9:]{8} \\+0900\r\n"},
        {"zone comment",
         "\r\nDate: [A-Z][a-z]{2}, \\d\\d [A-Z][a-z]{2} \\d{4} [0-9:]{8} \\+0900 \\(JST\\)\r\n"},
        {"lower-case month", "\r\nDate: [^\r]* [a-z]{3} \\d{4} "},
        {"upper-case month", "\r\nDate: [^\r]* [A-Z]{3} \\d{4} "},
        {"no weekday", "\r\nDate: \\d{1,2} [A-Za-z]{3} \\d{4} [0-9:]{8} \\+0900\r\n"},
        {"no zone", "\r\nDate: [^\r]* \\d{4} [0-9:]{8}\r\n"},
        {"two-digit year", "\r\nDate: [^\r]* [A-Za-z]{3} \\d\\d [0-9:]{8}"},
        {"MIME header", "\r\nContent-Type: text/plain; charset=ISO-2022-JP\r\n"},
    };
    for (const Shape& shape : shapes) {
        EXPECT_TRUE(std::regex_search(archive, std::regex(shape.pattern))) << shape.name;
    }
}

TEST(ArchiveGeneratorTest, SampleArchiveIsWhatItsRecipeMakes) {
    // samples/README.md gives the command: seed 1, 300 mails.
    const std::string sample = test::ReadAll(TARSEL_SAMPLE_ARCHIVE);
    EXPECT_TRUE(sample == GenerateArchive(Mails(300, 1)))
        << "samples/sample-archive.mbox differs from the generator's output; regenerate it";
    const std::vector<std::string_view> mails = SplitMails(sample);
    // Enough matches for a search of 検索 to need a second page of results.
    EXPECT_GE(MailsHolding(mails, JisPairs("検索")), 50u);
    EXPECT_GE(MailsHolding(mails, JisPairs("メール")), 100u);
    EXPECT_LT(sample.size(), 400000u);
}

}  // namespace
}  // namespace tarsel
