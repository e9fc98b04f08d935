// Finding where the mails of a large mbox begin, a window of bytes at a time, and cutting it
// into pieces there.
#include "engine/mbox_pieces.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string>

namespace tarsel {
namespace {

constexpr std::int64_t kWindow = 1 << 20;
constexpr std::int64_t kBefore = 3;  // bytes before "From " that tell an empty line

// Reads up to want bytes at offset into buffer; the count read, or -1 when a read fails.
std::int64_t ReadAt(int fd, std::int64_t offset, char* buffer, std::int64_t want) {
    std::int64_t got = 0;
    while (got < want) {
        const ssize_t n = ::pread(fd, buffer + got, static_cast<std::size_t>(want - got),
                                  static_cast<off_t>(offset + got));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return -1;
        }
        if (n == 0) {
            break;
        }
        got += n;
    }
    return got;
}

// Whether "From " at index i of text (size bytes) begins a mail: the line before is empty.
bool MailStartsAt(const char* text, std::int64_t size, std::int64_t i) {
    if (i + 5 > size || std::memcmp(text + i, "From ", 5) != 0) {
        return false;
    }
    return i >= 2 && text[i - 1] == '\n' &&
           (text[i - 2] == '\n' || (i >= 3 && text[i - 2] == '\r' && text[i - 3] == '\n'));
}

}  // namespace

bool FileStartsAsMbox(int fd) {
    char first[5];
    return ReadAt(fd, 0, first, 5) == 5 && std::memcmp(first, "From ", 5) == 0;
}

std::int64_t LastMailStartIn(int fd, std::int64_t lo, std::int64_t hi) {
    std::string space(static_cast<std::size_t>(kWindow + kBefore + 5), '\0');
    char* const buffer = space.data();
    // Windows from hi down, each reaching kBefore bytes below and 4 above the places it tries.
    for (std::int64_t top = hi; top > lo; top -= kWindow) {
        const std::int64_t bottom = std::max(lo + 1, top - kWindow + 1);
        const std::int64_t base = std::max<std::int64_t>(0, bottom - kBefore);
        const std::int64_t got = ReadAt(fd, base, buffer, top + 5 - base);
        if (got < 0) {
            return -1;
        }
        for (std::int64_t p = top; p >= bottom; --p) {
            // Only a line start can begin a mail: skip to the LF below.
            const char* nl =
                static_cast<const char*>(memrchr(buffer, '\n', static_cast<std::size_t>(p - base)));
            if (nl == nullptr) {
                break;
            }
            p = base + (nl - buffer) + 1;
            if (p < bottom) {
                break;
            }
            if (MailStartsAt(buffer, got, p - base)) {
                return p;
            }
        }
    }
    return -1;
}

std::int64_t FirstMailStartIn(int fd, std::int64_t lo, std::int64_t hi) {
    std::string space(static_cast<std::size_t>(kWindow + kBefore + 5), '\0');
    char* const buffer = space.data();
    for (std::int64_t bottom = lo + 1; bottom <= hi; bottom += kWindow) {
        const std::int64_t top = std::min(hi, bottom + kWindow - 1);
        const std::int64_t base = std::max<std::int64_t>(0, bottom - kBefore);
        const std::int64_t got = ReadAt(fd, base, buffer, top + 5 - base);
        if (got < 0) {
            return -1;
        }
        for (std::int64_t i = bottom - base; i <= top - base && i + 5 <= got;) {
            const void* at =
                memmem(buffer + i - 1, static_cast<std::size_t>(got - (i - 1)), "\nFrom ", 6);
            if (at == nullptr) {
                break;
            }
            i = static_cast<const char*>(at) - buffer + 1;
            if (i > top - base) {
                break;
            }
            if (MailStartsAt(buffer, got, i)) {
                return base + i;
            }
            ++i;
        }
    }
    return -1;
}

void CutMbox(int fd, int file, std::int64_t size, std::int64_t pieceBytes,
             std::vector<ArchivePiece>& pieces) {
    std::int64_t start = 0;
    while (size - start > pieceBytes) {
        std::int64_t cut = LastMailStartIn(fd, start, start + pieceBytes);
        if (cut < 0) {
            cut = FirstMailStartIn(fd, start + pieceBytes, size - 1);  // after a long mail
        }
        if (cut < 0) {
            break;  // the last mail runs to the end of the file
        }
        pieces.push_back(ArchivePiece{file, start, cut - start});
        start = cut;
    }
    pieces.push_back(ArchivePiece{file, start, size - start});
}

bool SplitPiece(int fd, const ArchivePiece& piece, ArchivePiece& first, ArchivePiece& second) {
    const std::int64_t end = piece.offset + piece.length;
    const std::int64_t middle = piece.offset + piece.length / 2;
    std::int64_t cut = LastMailStartIn(fd, piece.offset, middle);
    if (cut < 0) {
        cut = FirstMailStartIn(fd, middle, end - 1);
    }
    if (cut < 0) {
        return false;
    }
    first = ArchivePiece{piece.file, piece.offset, cut - piece.offset};
    second = ArchivePiece{piece.file, cut, end - cut};
    return true;
}

}  // namespace tarsel
