// Folding of words and texts: each rule, the characters a match covers, and the copied runs
// agreeing with the character-by-character fold.
#include "query/text_folding.h"

#include <gtest/gtest.h>

namespace tarsel::query {
namespace {

struct FoldCase {
    const char* text;
    bool kana;
    const char* folded;
};

TEST(TextFoldingTest, FoldsEachRule) {
    const FoldCase cases[] = {
        {"ＦＹＩ Server", false, "fyi server"},  // width, case
        {"ﾒｰﾙ", false, "メール"},                // half-width katakana
        {"ｶﾞ ガ カ", false, "ガ ガ カ"},         // voicing marks stay
        {"〜～~ −－- ‖∥ —―", false, "~~~ --- ∥∥ ——"},
        {"é e\u0301 Ａ\u0301x", false, "e e ax"},  // accents, a mark after a copied run
        {"Straße İ ﬁ ① ㍻", false, "strasse i fi 1 平成"},
        {"ひらがなゝ", false, "ひらがなゝ"},
        {"ひらがなゝ", true, "ヒラガナヽ"},
        {"日本語のテキスト", false, "日本語のテキスト"},
        {"eight ascii bytes at a Time, then More", false, "eight ascii bytes at a time, then more"},
        {"\xFF\xFE"
         "AB",
         false,
         "\xFF\xFE"
         "ab"},  // invalid bytes stand for themselves
    };
    for (const FoldCase& c : cases) {
        const FoldOptions options{c.kana};
        EXPECT_EQ(Folded(c.text, options), c.folded) << c.text;
        std::string scratch;
        EXPECT_EQ(FoldedView(c.text, options, scratch), c.folded) << c.text;
        std::string withSpans;
        std::vector<Span> spans;
        AppendFolded(c.text, options, withSpans, &spans);
        EXPECT_EQ(withSpans, c.folded) << c.text;
        ASSERT_EQ(spans.size(), withSpans.size()) << c.text;
    }
}

TEST(TextFoldingTest, SpansCoverTheOriginalCharacters) {
    const std::string text = "aｶﾞé\u0301Ｂ";
    std::string folded;
    std::vector<Span> spans;
    AppendFolded(text, {}, folded, &spans);
    ASSERT_EQ(folded, "aガeb");
    const struct {
        std::size_t at;  // a byte of the folded text
        Span from;
    } cases[] = {{0, {0, 1}}, {1, {1, 7}}, {3, {1, 7}}, {4, {7, 11}}, {5, {11, 14}}};
    for (const auto& c : cases) {
        EXPECT_EQ(spans[c.at].begin, c.from.begin) << c.at;
        EXPECT_EQ(spans[c.at].end, c.from.end) << c.at;
    }
}

}  // namespace
}  // namespace tarsel::query
