// The pieces that an mbox larger than one load is searched in. A piece is a run of whole mails
// of one file, loaded, searched and given back like an archive of its own, so that an mbox of
// any size goes through the same phases as a file of the mark's format within its capacities.
#pragma once

#include <cstdint>
#include <vector>

namespace tarsel {

// Of the mbox format: up to 64 GiB per file, and per search of any number of archives up to
// this many mails and hits.
inline constexpr std::uint64_t kMboxMaxFileSize = std::uint64_t{64} << 30;
inline constexpr int kMboxMailCapacity = 10000000;
inline constexpr int kMboxHitCapacity = 10000000;
// The bytes of a piece that the cut aims at: well within one load, so that a piece of small
// mails rarely holds more of them than a load's tables.
inline constexpr std::int64_t kPieceBytes = std::int64_t{48} << 20;

struct ArchivePiece {
    int file = 0;              // of the search's archives
    std::int64_t offset = 0;   // its first byte in the file: the first byte of a From_ line
    std::int64_t length = -1;  // -1: the whole file, as large as it is when loaded
};

// Whether the open file fd begins with "From ", the first line of an mbox.
bool FileStartsAsMbox(int fd);

// The last place p with lo < p <= hi where a mail of the mbox fd begins: a line beginning
// "From " right after an empty line (LF or CR LF line ends); -1 when there is none. Reads
// only the bytes around the places it looks at, from hi backwards.
std::int64_t LastMailStartIn(int fd, std::int64_t lo, std::int64_t hi);

// The first such place with lo < p <= hi; -1 when there is none. Reads forward from lo.
std::int64_t FirstMailStartIn(int fd, std::int64_t lo, std::int64_t hi);

// Cuts size bytes of the mbox fd (file index file) into pieces of at most pieceBytes where a
// mail begins within that reach; a mail longer than that is a piece of its own. The pieces
// cover the file without gap or overlap.
void CutMbox(int fd, int file, std::int64_t size, std::int64_t pieceBytes,
             std::vector<ArchivePiece>& pieces);

// Splits the piece (of the mbox fd; its length known) in two at a mail start, the one nearest
// below its middle or else the first one above it. False when it holds a single mail.
bool SplitPiece(int fd, const ArchivePiece& piece, ArchivePiece& first, ArchivePiece& second);

}  // namespace tarsel
