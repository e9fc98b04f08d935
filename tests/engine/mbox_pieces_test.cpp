// Cutting a large mbox into pieces at its mail starts: only a "From " line after an empty line
// is one, with LF or CR LF line ends, wherever the reading windows of 1 MiB end.
#include "engine/mbox_pieces.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "tests/support/temp_files.h"

namespace tarsel {
namespace {

std::string Mail(const std::string& body, const std::string& lineEnd = "\n") {
    return "From a@example.org Tue Dec  7 12:34:56 1999" + lineEnd + "Subject: s" + lineEnd +
           lineEnd + body + lineEnd + lineEnd;
}

// The offsets the pieces begin at.
std::vector<std::int64_t> PieceStarts(const std::string& bytes, std::int64_t pieceBytes) {
    test::TempDir dir;
    const int fd = ::open(dir.Write("box", bytes).c_str(), O_RDONLY);
    std::vector<ArchivePiece> pieces;
    CutMbox(fd, 0, static_cast<std::int64_t>(bytes.size()), pieceBytes, pieces);
    ::close(fd);
    std::vector<std::int64_t> starts;
    std::int64_t next = 0;
    for (const ArchivePiece& piece : pieces) {
        EXPECT_EQ(piece.offset, next) << "pieces leave a gap or overlap";
        next = piece.offset + piece.length;
        starts.push_back(piece.offset);
    }
    EXPECT_EQ(next, static_cast<std::int64_t>(bytes.size()));
    return starts;
}

TEST(MboxPiecesTest, CutsOnlyWhereAMailBegins) {
    const std::string a = Mail("one");
    const std::string crlf = Mail("one", "\r\n");
    const std::string longBody(3 << 20, 'x');  // past several reading windows
    const std::string quoted = Mail("text\nFrom here on, not a mail");
    struct Case {
        const char* name;
        std::string bytes;
        std::int64_t pieceBytes;
        std::vector<std::int64_t> starts;
    } cases[] = {
        {"fits whole", a + a, 1000, {0}},
        {"a start right at the reach",
         a + a + a,
         static_cast<std::int64_t>(a.size()),
         {0, static_cast<std::int64_t>(a.size()), static_cast<std::int64_t>(2 * a.size())}},
        {"the last start within the reach",
         a + a + a,
         static_cast<std::int64_t>(2 * a.size() + 5),
         {0, static_cast<std::int64_t>(2 * a.size())}},
        {"CR LF",
         crlf + crlf,
         static_cast<std::int64_t>(crlf.size() + 5),
         {0, static_cast<std::int64_t>(crlf.size())}},
        {"From after a text line",
         quoted + a,
         static_cast<std::int64_t>(quoted.size() - 3),
         {0, static_cast<std::int64_t>(quoted.size())}},
        {"a mail longer than a piece",
         a + Mail(longBody) + a,
         100,
         {0, static_cast<std::int64_t>(a.size()),
          static_cast<std::int64_t>(a.size() + Mail(longBody).size())}},
        {"a long last mail", a + Mail(longBody), 100, {0, static_cast<std::int64_t>(a.size())}},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(PieceStarts(c.bytes, c.pieceBytes), c.starts) << c.name;
    }
}

TEST(MboxPiecesTest, SplitsAPieceNearItsMiddleOrNotAtAll) {
    const std::string a = Mail("one");
    test::TempDir dir;
    const std::string bytes = a + a + a + a;
    const int fd = ::open(dir.Write("box", bytes).c_str(), O_RDONLY);
    ArchivePiece first;
    ArchivePiece second;
    const auto size = static_cast<std::int64_t>(a.size());
    ASSERT_TRUE(SplitPiece(fd, ArchivePiece{0, size, 3 * size}, first, second));
    EXPECT_EQ(first.offset, size);
    EXPECT_EQ(first.length, size);  // the start below the middle
    EXPECT_EQ(second.offset, 2 * size);
    EXPECT_EQ(second.length, 2 * size);
    EXPECT_FALSE(SplitPiece(fd, ArchivePiece{0, size, size}, first, second)) << "one mail";
    ::close(fd);
}

}  // namespace
}  // namespace tarsel
