// The system's messages for a terminal.
#include "decode/safe_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tarsel {
namespace {

// The system's part of a message keeps its line breaks; the file's name after the blank line
// is escaped whole, its line ends too.
TEST(SafeTextTest, MessagesForATerminalEscapeWhatFollowsTheirBlankLine) {
    struct Case {
        std::string message, terminal;
    };
    const Case cases[] = {
        {"検索する文字列が、入力されていません。", "検索する文字列が、入力されていません。"},
        {"ファイルを開けません。\r\n\r\n/tmp/a.mbox", "ファイルを開けません。\n/tmp/a.mbox"},
        {"ファイルを読み込めません。\r\n\r\nx\x1b]0;t\x07y\r\nz\xff\xe2\x80\xae.txt",
         "ファイルを読み込めません。\nx\\x1b]0;t\\x07y\\x0d\\x0az\\xff\\u{202e}.txt"},
        {"a\r\nb\x1b[2J\r\n\r\nc\r\n\r\nd", "a\nb\\x1b[2J\nc\\x0d\\x0a\\x0d\\x0ad"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TerminalMessage(c.message), c.terminal) << testing::PrintToString(c.message);
    }
}

}  // namespace
}  // namespace tarsel
