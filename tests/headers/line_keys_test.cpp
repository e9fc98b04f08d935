// Line ends and key places of a mail, against a plain reading of each line, with the lines and
// keys moved across every place of the 64-byte windows and the text cut at every length.
#include "headers/line_keys.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarsel {
namespace {

// One line: where its keys stand, and where its CR LF does.
struct Line : LineKeys {
    std::size_t end = kNoPlace;
};

// The lines of text read plainly: each runs to its CR LF and the next starts at that LF.
std::vector<Line> PlainLines(std::string_view text) {
    std::string upper(text);
    for (char& c : upper) {
        c = c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
    }
    std::vector<Line> lines;
    for (std::size_t from = 0;;) {
        const std::size_t end = upper.find("\r\n", from);
        if (end == std::string::npos) {
            return lines;
        }
        const auto first = [&](const char* key) {
            const std::size_t at = upper.find(key, from);
            return at < end ? at : kNoPlace;
        };
        lines.push_back({{first("SUBJECT"), first("DATE"), first("FROM")}, end});
        from = end + 1;
    }
}

// The lines as the header row reads them, off the scanner's marks.
std::vector<Line> ScannedLines(std::string_view text, bool wide) {
    LineKeyScanner scanner(text, wide);
    std::vector<Line> lines;
    LineKeys keys;
    scanner.ReadMarks(
        [&](std::size_t end) {
            lines.push_back({keys, end});
            keys = LineKeys{};
            return true;
        },
        [&](std::size_t at) { scanner.NoteKey(at, keys); });
    return lines;
}

TEST(LineKeyScannerTest, FindsWhatAPlainReadingFinds) {
    const std::vector<std::string> texts = {
        "Received: from a by b\r\nsUbJeCt: s\r\nDate: d\r\n\r\nfrom body",
        "\r\n\r\r\n\n\r\nFROM\r\nFR\r\nfROMDATEsubject\r\nSu\rbject Da\nte\r\nDATEDATE",
        // A line longer than a window, keys twice in a line, and a text ending inside a key.
        std::string(150, 'x') + "from x Subject y from\r\n" + std::string(70, 'S') + "SUBJEC",
    };
    std::vector<bool> widths = {false};
    if (CpuHasWideCompares()) {
        widths.push_back(true);
    }
    for (const std::string& text : texts) {
        for (std::size_t pad = 0; pad <= 130; ++pad) {
            const std::string padded = std::string(pad, 'y') + text;
            for (std::size_t cut = pad; cut <= padded.size(); ++cut) {
                const std::string_view piece = std::string_view(padded).substr(0, cut);
                const std::vector<Line> expected = PlainLines(piece);
                for (const bool wide : widths) {
                    const std::vector<Line> lines = ScannedLines(piece, wide);
                    ASSERT_EQ(lines.size(), expected.size()) << pad << " " << cut << " " << wide;
                    for (std::size_t i = 0; i < lines.size(); ++i) {
                        EXPECT_EQ(lines[i].end, expected[i].end);
                        EXPECT_EQ(lines[i].subject, expected[i].subject);
                        EXPECT_EQ(lines[i].date, expected[i].date);
                        ASSERT_EQ(lines[i].sender, expected[i].sender)
                            << "pad " << pad << " cut " << cut << " wide " << wide << " line " << i;
                    }
                }
            }
        }
    }
}

}  // namespace
}  // namespace tarsel
