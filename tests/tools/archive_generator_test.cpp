// The archive generator: reproducible bytes, the requested mail count or size, well-formed
// mails and Japanese text, one line-end style per mail, the shares of the rarer header shapes,
// the keyword shares the sample searches rely on, and the committed sample archive still being
// what its recipe makes.
#include "bench/archive_generator.h"

#include <gtest/gtest.h>
#include <iconv.h>

#include <cstdint>
#include <functional>
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

// A mail cut at the empty line that ends its header, in the line ends its first line has.
struct MailParts {
    std::string_view lineEnd;
    std::string_view head;  // from the mark to the header's last line end
    std::string_view body;
    bool hasBody = false;  // whether the empty line is there
};

MailParts Parts(std::string_view mail) {
    MailParts parts;
    const std::size_t end = mail.find_first_of("\r\n");
    parts.lineEnd = end == std::string_view::npos          ? ""
                    : mail.substr(end).starts_with("\r\n") ? "\r\n"
                                                           : mail.substr(end, 1);
    const std::string blank = std::string(parts.lineEnd) + std::string(parts.lineEnd);
    const std::size_t headerEnd = parts.lineEnd.empty() ? mail.npos : mail.find(blank);
    parts.hasBody = headerEnd != std::string_view::npos;
    parts.head = parts.hasBody ? mail.substr(0, headerEnd + parts.lineEnd.size()) : mail;
    parts.body = parts.hasBody ? mail.substr(headerEnd + blank.size()) : std::string_view();
    return parts;
}

std::vector<std::string_view> Lines(std::string_view text, std::string_view lineEnd = "\r\n") {
    std::vector<std::string_view> lines;
    std::size_t begin = 0;
    for (std::size_t end = text.find(lineEnd); end != std::string_view::npos;
         end = text.find(lineEnd, begin)) {
        lines.push_back(text.substr(begin, end - begin));
        begin = end + lineEnd.size();
    }
    return lines;
}

// Every CR LF pair, lone CR and lone LF of the text replaced by `lineEnd`.
std::string WithLineEnds(std::string_view text, std::string_view lineEnd) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\r' || text[i] == '\n') {
            i += text.substr(i).starts_with("\r\n");
            out += lineEnd;
        } else {
            out += text[i];
        }
    }
    return out;
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

TEST(ArchiveGeneratorTest, EveryMailIsHeaderLinesBlankLineAndBodyInOneLineEndStyle) {
    const std::string archive = GenerateArchive(Mails(1000, 11));
    EXPECT_EQ(archive.find('\0'), std::string::npos);
    const std::regex firstLine("^(Return-Path: <[^>]+>|From \\S+@\\S+ .+|Received: .+)$");
    std::size_t bodiless = 0;
    for (std::string_view mail : SplitMails(archive)) {
        const MailParts parts = Parts(mail);
        ASSERT_FALSE(parts.lineEnd.empty()) << mail.substr(0, 200);
        bodiless += !parts.hasBody;
        ASSERT_TRUE(mail.ends_with(parts.lineEnd)) << mail.substr(0, 200);
        const std::string first(mail.substr(kMark.size(), mail.find(parts.lineEnd) - kMark.size()));
        EXPECT_TRUE(std::regex_match(first, firstLine)) << first;
        std::size_t lineBreaks = 0;
        for (std::size_t i = 0; i < mail.size(); ++i) {
            if (mail[i] == '\n' || mail[i] == '\r') {
                ASSERT_TRUE(mail.substr(i).starts_with(parts.lineEnd))
                    << "line break of another style at " << i << ": " << mail.substr(0, 200);
                i += parts.lineEnd.size() - 1;
                ++lineBreaks;
            }
        }
        EXPECT_GT(lineBreaks, 10u);
    }
    EXPECT_LT(bodiless, 10u);
}

TEST(ArchiveGeneratorTest, SizeTargetIsReachedWithinOneHeaderAndNeverPassed) {
    for (std::uint64_t target : {5000ULL, 65536ULL, 100000ULL, 1000003ULL, 3000000ULL}) {
        const std::string archive = GenerateArchive(Size(target, target));
        EXPECT_LE(archive.size(), target) << target;
        EXPECT_GT(archive.size() + 3000, target) << target;
        const std::vector<std::string_view> mails = SplitMails(archive);
        ASSERT_FALSE(mails.empty()) << target;
        for (std::string_view mail : mails) {
            // The last mail's body may be cut after a whole line, but never its header.
            const MailParts parts = Parts(mail);
            EXPECT_TRUE(mail.ends_with(parts.lineEnd)) << target;
            EXPECT_NE(WithLineEnds(parts.head, "\n").find("\nMessage-ID: "), std::string::npos)
                << target;
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
        const MailParts parts = Parts(mail);
        const std::string head(parts.head);
        const std::string_view body = parts.body;
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
        for (std::string_view line : Lines(body, parts.lineEnd)) {
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

TEST(ArchiveGeneratorTest, RareShapesAppearInTheirShareOfMails) {
    const std::string archive = GenerateArchive(Mails(3000, 23));
    const std::vector<std::string_view> mails = SplitMails(archive);
    // Each header with LF line ends and a leading LF, once as written and once unfolded.
    struct Mail {
        MailParts parts;
        std::string head;
        std::string unfolded;
    };
    std::vector<Mail> views;
    for (std::string_view mail : mails) {
        Mail m{Parts(mail), "", ""};
        m.head = "\n" + WithLineEnds(m.parts.head, "\n");
        m.unfolded = std::regex_replace(m.head, std::regex("\n(?=[ \t])"), "");
        views.push_back(std::move(m));
    }
    using Holds = std::function<bool(const Mail&)>;
    const auto written = [](const char* pattern, bool anyCase = true) -> Holds {
        const std::regex re(pattern, anyCase ? std::regex::icase : std::regex::ECMAScript);
        return [re](const Mail& m) { return std::regex_search(m.head, re); };
    };
    const auto unfolded = [](const char* pattern) -> Holds {
        const std::regex re(pattern, std::regex::icase);
        return [re](const Mail& m) { return std::regex_search(m.unfolded, re); };
    };
    struct Shape {
        const char* name;
        Holds holds;
        double low;
        double high;
    };
    const Shape shapes[] = {
        {"bare LF line ends", [](const Mail& m) { return m.parts.lineEnd == "\n"; }, 0.03, 0.05},
        {"bare CR line ends", [](const Mail& m) { return m.parts.lineEnd == "\r"; }, 0.005, 0.016},
        {"no empty line, no body", [](const Mail& m) { return !m.parts.hasBody; }, 0.0005, 0.006},
        {"usual Date with weekday",
         written("\nDate: [a-z]{3}, \\d{1,2} [a-z]{3} \\d{2,4} \\d\\d:\\d\\d:\\d\\d( "
                 "\\+0900)?( \\(JST\\))?\n"),
         0.76, 0.88},
        {"Date without seconds", written("\nDate: [^\n]* \\d\\d:\\d\\d \\+0900\n"), 0.02, 0.045},
        {"Date with double blanks", written("\nDate: [^\n]*  "), 0.02, 0.045},
        {"two-digit year, no weekday", written("\nDate: \\d{1,2} [a-z]{3} \\d\\d \\d"), 0.02,
         0.045},
        {"zone comment, no weekday",
         written("\nDate: \\d{1,2} [a-z]{3} \\d{4} [0-9:]{8} \\+0900 \\(JST\\)\n"), 0.02, 0.045},
        {"no blank after Subject:", written("\nSubject:[^ ]"), 0.02, 0.045},
        {"field name in other case", written("\n(FROM|from|SUBJECT|subject|DATE|date):", false),
         0.02, 0.045},
        // "schedule update" was among the ASCII subjects before, in about 1 per cent.
        {"subject holding from, date or update",
         unfolded("\nSubject: ?[^\n]*\\b(from|date|update)\\b"), 0.035, 0.075},
        {"folded ASCII subject", written("\nSubject: ?[^\n]*[a-z]\n[ \t][a-z]"), 0.007, 0.025},
        {"other field naming from, date or subject",
         written("\n(X-Note|Comments|X-Original-Date|Resent-From): "), 0.025, 0.055},
        {"encoded sender right after Subject",
         written("\nSubject:[^\n]*(\n[ \t][^\n]*)*\n(From|Reply-To): =\\?ISO-2022-JP\\?B\\?"), 0.02,
         0.045},
        {"adjacent encoded words on one line",
         written("\nSubject:[^\n]*\\?= =\\?ISO-2022-JP\\?B\\?[^\n]*\n"), 0.02, 0.045},
    };
    for (const Shape& shape : shapes) {
        std::size_t n = 0;
        for (const Mail& m : views) {
            n += shape.holds(m);
        }
        const double share = static_cast<double>(n) / static_cast<double>(views.size());
        EXPECT_GE(share, shape.low) << shape.name;
        EXPECT_LE(share, shape.high) << shape.name;
    }
}

TEST(ArchiveGeneratorTest, LineEndOptionChangesNothingButTheLineEnds) {
    const std::string mixed = GenerateArchive(Mails(500, 29));
    struct Style {
        LineEnds lineEnds;
        std::string_view end;
        char absent;  // a byte the archive must not hold at all
    };
    for (const Style& s : {Style{LineEnds::kCrLf, "\r\n", '\0'}, Style{LineEnds::kLf, "\n", '\r'},
                           Style{LineEnds::kCr, "\r", '\n'}}) {
        ArchiveOptions options = Mails(500, 29);
        options.lineEnds = s.lineEnds;
        const std::string archive = GenerateArchive(options);
        EXPECT_TRUE(archive == WithLineEnds(mixed, s.end)) << static_cast<int>(s.lineEnds);
        EXPECT_EQ(archive.find(s.absent), std::string::npos) << static_cast<int>(s.lineEnds);
    }
    // The default mixes the styles: mostly CR LF, but not only.
    EXPECT_NE(mixed.find("\r\n"), std::string::npos);
    EXPECT_NE(WithLineEnds(mixed, "\r\n"), mixed);
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
