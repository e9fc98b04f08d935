// The lines of a mail against a plain reading of its bytes, with the line ends moved across
// every place of the 64-byte windows and the text cut at every length.
#include "headers/line_breaks.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

namespace tarsel {
namespace {

using Line = std::tuple<std::size_t, std::size_t, std::size_t>;  // start, end, next

// Byte by byte: CR LF, a bare LF and a bare CR each end a line.
std::vector<Line> PlainLines(std::string_view text) {
    std::vector<Line> lines;
    std::size_t start = 0;
    for (std::size_t at = 0; at < text.size(); ++at) {
        if (text[at] == '\r' || text[at] == '\n') {
            const std::size_t next = text.substr(at, 2) == "\r\n" ? at + 2 : at + 1;
            lines.emplace_back(start, at, next);
            start = next;
            at = next - 1;
        }
    }
    if (start < text.size()) {
        lines.emplace_back(start, text.size(), text.size());
    }
    return lines;
}

std::vector<Line> ScannedLines(std::string_view text, bool wide) {
    std::vector<Line> lines;
    ForEachLine(
        text, 0,
        [&](std::size_t start, std::size_t end, std::size_t next) {
            lines.emplace_back(start, end, next);
            return true;
        },
        wide);
    return lines;
}

TEST(LineBreaksTest, EveryLineEndEndsALineAsAPlainReadingFinds) {
    const std::vector<std::string> texts = {
        "Subject: s\r\nDate: d\r\n\r\nbody",
        "a\nb\n\nc\rd\r\re\r\n\nf\n\r",
        // A line longer than a window, and a CR LF split by a window's edge in some pads.
        std::string(150, 'x') + "\r\n" + std::string(61, 'y') + "\r\n\r" + std::string(70, 'z'),
    };
    std::vector<bool> widths = {false};
    if (CpuHasWideCompares()) {
        widths.push_back(true);
    }
    for (const std::string& text : texts) {
        for (std::size_t pad = 0; pad <= 130; ++pad) {
            const std::string padded = std::string(pad, 'p') + text;
            for (std::size_t cut = pad; cut <= padded.size(); ++cut) {
                const std::string_view piece = std::string_view(padded).substr(0, cut);
                for (const bool wide : widths) {
                    ASSERT_EQ(ScannedLines(piece, wide), PlainLines(piece))
                        << "pad " << pad << " cut " << cut << " wide " << wide;
                }
            }
        }
    }
}

TEST(LineBreaksTest, StopsWhenTold) {
    std::vector<std::size_t> starts;
    ForEachLine("a\r\nb\nc\rd", 2, [&](std::size_t start, std::size_t, std::size_t) {
        starts.push_back(start);
        return starts.size() < 2;
    });
    // From the middle of a CR LF: its LF is a line end of its own.
    EXPECT_EQ(starts, (std::vector<std::size_t>{2, 3}));
}

}  // namespace
}  // namespace tarsel
