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

}  // namespace
}  // namespace tarsel::mime
