// The red runs of a query's words in a shown text, and the alternative a folded word chooses.
#include "mime/query_search.h"

#include <gtest/gtest.h>

namespace tarsel::mime {
namespace {

QueryMatcher Matcher(std::string_view text, bool exact = false, bool kana = false) {
    query::Query parsed;
    std::string badDate;
    EXPECT_TRUE(query::ParseQuery(text, exact, {kana}, parsed, badDate));
    return QueryMatcher(std::move(parsed));
}

// The runs as the texts they cover, joined by "|".
std::string Marked(const QueryMatcher& matcher, std::string_view text) {
    std::vector<QueryMatcher::Run> runs;
    matcher.MarkBodyWords(text, runs);
    std::string marked;
    for (const QueryMatcher::Run& run : runs) {
        marked += (marked.empty() ? "" : "|") + std::string(text.substr(run.offset, run.length));
    }
    return marked;
}

TEST(QuerySearchTest, MarksTheCharactersAsWritten) {
    const struct {
        const char* query;
        bool exact, kana;
        const char* text;
        const char* marked;
    } cases[] = {
        {"ガス", false, false, "ｶﾞｽ と ガス、カス", "ｶﾞｽ|ガス"},
        {"fyi", false, false, "ＦＹＩ fyi FYi", "ＦＹＩ|fyi|FYi"},
        {"fyi", true, false, "ＦＹＩ fyi FYi", "fyi"},
        {"かな", false, true, "カナ ｶﾅ かな", "カナ|ｶﾅ|かな"},
        {"cafe", false, false, "cafe\xCC\x81!", "cafe\xCC\x81"},  // the mark goes with its letter
        {"ab bc -abd", false, false, "abc abbc", "abc|ab|bc"},    // overlapping words join
        {"subject:ab", false, false, "ab", ""},                   // not a body word
        {"平成", false, false, "㍻", "㍻"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Marked(Matcher(c.query, c.exact, c.kana), c.text), c.marked) << c.query;
    }
}

TEST(QuerySearchTest, FoldedWordChoosesTheAlternativeThatHoldsIt) {
    const std::string mail =
        "Subject: s\r\nContent-Type: multipart/alternative; boundary=b\r\n\r\n--b\r\n"
        "Content-Type: text/plain; charset=utf-8\r\n\r\nplain\r\n--b\r\n"
        "Content-Type: text/html; "
        "charset=utf-8\r\n\r\n<p>\xEF\xBC\xA6\xEF\xBC\xB9\xEF\xBC\xA9</p>\r\n"
        "--b--\r\n";
    const QueryMatcher matcher = Matcher("fyi");
    const QueryMatcher::Verdict verdict = matcher.Match(mail);
    EXPECT_TRUE(verdict.matches);
    EXPECT_EQ(verdict.hits, 1u);
    const auto holds = [&](std::string_view text) { return matcher.BodyHolds(text); };
    const MailTexts texts = TextsOfMail(mail, TextHolds(holds));
    ASSERT_EQ(texts.parts.size(), 1u);
    EXPECT_EQ(texts.parts[0], "ＦＹＩ");
}

// ISO-2022-JP bodies are judged by their pairs before they are read: every way the reader may
// write the word's characters must still count it, and pairs that only look alike must not.
TEST(QuerySearchTest, CountsFoldedWordsInIso2022JpBodies) {
    const struct {
        const char* query;
        std::string_view body;
        std::size_t hits;
    } cases[] = {
        {"検索", "\x1b$B8!:w\x1b(B\r\n", 1},
        {"検索", "\x1b$B8!\x1b(B\x1b$B:w\x1b(B\r\n", 1},  // two runs read as one text
        {"検索", "8!:w\r\n", 0},                          // the pairs' bytes as ASCII text
        {"検索", "\x1b$B8!\x1b(B\r\n:w\r\n", 0},          // the second pair's bytes as ASCII
        {"検索", "\x1b$B8\r\n!:w\x1b(B\r\n", 0},          // a line break ends the pairs
        {"検索", "\x8c\x9f\x8d\xf5\r\n", 1},              // 8-bit bytes are read as CP932
        {"fyi", "\x1b$B#F#Y#I\x1b(B\r\n", 1},             // full-width letters fold
        {"fyi", "FYI\r\n", 1},
        {"サーバ", "\x1b(I;0J^\x1b(B\r\n", 1},  // half-width kana
        {"サーバ", "\x1b$B%5!<%P\x1b(B\r\n", 1},
        {"議事録", "\x1b$B5D;vO?\x1b(B\r\n", 1},
        {"議事録", "\x1b$B5D;v\x1b(B\r\n", 0},
    };
    for (const auto& c : cases) {
        const std::string mail =
            "Subject: s\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n" +
            std::string(c.body);
        const QueryMatcher::Verdict verdict = Matcher(c.query).Match(mail);
        EXPECT_EQ(verdict.matches, c.hits > 0) << c.query << " in " << c.body;
        EXPECT_EQ(verdict.hits, c.hits) << c.query << " in " << c.body;
    }
}

}  // namespace
}  // namespace tarsel::mime
