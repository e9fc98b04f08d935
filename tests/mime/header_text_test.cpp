// The text of a header value: its folding undone wherever a line break stands, and the bytes
// outside encoded words read in the charset they are guessed to be in.
#include "mime/header_text.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tarsel::mime {
namespace {

TEST(HeaderTextTest, UndoesFoldingAtEveryPlace) {
    // Breaks around the sixteen bytes looked at together: first, at a step's edges, last.
    const std::string line = "abcdefghijklmnopqrstuvwxyz0123456789ABCDEFGH";
    for (const std::string_view lineBreak : {"\r\n", "\n"}) {
        for (const std::size_t at : {0u, 1u, 14u, 15u, 16u, 17u, 31u, 32u, 43u}) {
            std::string raw = line;
            raw.insert(at, std::string(lineBreak) + " ");
            std::string shown = line;
            shown.insert(at, at == 0 ? "" : " ");  // a blank at the start is trimmed
            EXPECT_EQ(HeaderText(raw), shown) << "break at " << at;
        }
        EXPECT_EQ(HeaderText(line + std::string(lineBreak)), line);
    }
    // An encoded word whose line is folded, and one long line with none.
    EXPECT_EQ(HeaderText("abcdefghijklmnop =?utf-8?b?5qSc57Si?=\r\n =?utf-8?q?=E6=A4=9C?= z"),
              "abcdefghijklmnop \xE6\xA4\x9C\xE7\xB4\xA2\xE6\xA4\x9C z");
    EXPECT_EQ(HeaderText(line + line), line + line);
}

TEST(HeaderTextTest, GuessesTheCharsetOfRawBytes) {
    const struct {
        std::string_view raw, shown;
    } cases[] = {
        {"\xE6\xA4\x9C\xE7\xB4\xA2 <a@example.jp>", "\xE6\xA4\x9C\xE7\xB4\xA2 <a@example.jp>"},
        {"\x8C\x9F\x8D\xF5 <a@example.jp>", "\xE6\xA4\x9C\xE7\xB4\xA2 <a@example.jp>"},  // CP932
        {"\x1B$B8!:w\x1B(B <a@example.jp>", "\xE6\xA4\x9C\xE7\xB4\xA2 <a@example.jp>"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HeaderText(c.raw), c.shown) << c.raw;
    }
}

}  // namespace
}  // namespace tarsel::mime
