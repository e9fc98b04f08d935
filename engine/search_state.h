// The search state of one archive: the loaded file, the mail and hit tables and the counters
// through which the driving thread follows the units of the running phase.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

#include "engine/phase_end_wake.h"

namespace tarsel {

inline constexpr int kChunkSize = 100000;
inline constexpr int kChunkCapacity = 1000;
inline constexpr std::uint64_t kMaxFileSize = std::uint64_t{kChunkSize} * kChunkCapacity;
inline constexpr int kMailCapacity = 100000;
inline constexpr int kHitCapacity = 100000;
inline constexpr int kViewedCapacity = 100000;
inline constexpr int kScanBlock = 100;
inline constexpr int kPageRows = 20;
inline constexpr int kTimerMs = 100;

// State codes of the search controller.
enum StateCode : int {
    kStateIdle = 0,
    kStateLoading = 1,
    kStateCounting = 2,
    kStateSearching = 3,
    kStateResultKnown = 4,  // never stored; the driver is called with it directly
    kStateHeaders = 5,
    kStateFileCapacity = 10,
    kStateMailCapacity = 11,
    kStateHitCapacity = 12,
};

// One 100000-byte piece of the file. Its buffer is a fixed slot of its search state's arena
// that is reserved once for all chunks and refilled by later loads, or bytes of a view of the
// file that the chunk only points into; a loaded chunk never holds a NUL byte.
class FileChunk {
  public:
    std::string_view view() const { return {data_, static_cast<std::size_t>(size_)}; }
    int size() const { return size_; }
    // Buffer of kChunkSize bytes to load into; sets the size to 0 until Commit().
    char* Prepare();
    // The first size bytes of the buffer hold the chunk.
    void Commit(int size);
    // The chunk is the size bytes at bytes, which stay valid while it is loaded.
    void Borrow(const char* bytes, int size);
    // Differs after every Prepare() and Borrow(): tells whether what was found in the chunk
    // still holds.
    std::uint64_t stamp() const { return stamp_; }

  private:
    friend class SearchState;
    void Restamp();

    char* slot_ = nullptr;         // the chunk's own buffer: in the arena, or own_
    std::unique_ptr<char[]> own_;  // a buffer of its own when the system gave no arena
    bool prepared_ = false;        // loaded into at least once: the sanitizer marks its slot
    const char* data_ = nullptr;   // the chunk's bytes: the slot or borrowed ones
    int size_ = 0;
    std::uint64_t stamp_ = 0;
};

class CSearchController;
class PrescanFinds;

// How the mails of an archive are told apart: by the mail mark, or (a file whose first bytes
// are "From ") by the From_ line of an mbox that begins each mail after an empty line.
enum class ArchiveFormat { kMark, kMbox };

// Where one scan unit's entries lie in its table.
struct ScanRun {
    int first = 0;
    int length = 0;
};

// The search state of one archive: what the phases of its searches hand to each other. A search
// context (a controller) owns one, so that contexts search side by side on the shared pool;
// its units reach it through their controller and touch no other.
class SearchState {
  public:
    SearchState();
    ~SearchState();
    SearchState(const SearchState&) = delete;
    SearchState& operator=(const SearchState&) = delete;

    FileChunk m_fileChunks[kChunkCapacity];
    int m_lastChunkSize = 0;           // bytes of the final chunk, 1..kChunkSize
    std::filesystem::path m_filePath;  // the file being loaded
    std::int64_t m_loadOffset = 0;     // where the loaded bytes begin in it (a piece's offset)
    int m_chunkCount = 0;              // chunks of the loaded file; also units per scan phase
    ArchiveFormat m_format = ArchiveFormat::kMark;  // decided when the mails are counted

    // Units of the running phase that have not finished. Each unit decrements it once, as its
    // very last act; 0 means the phase has ended and is not yet handled, 1 means nothing
    // pending.
    std::atomic<int> m_workersRunning{1};
    // Units of the running phase that completed normally (progress numerator).
    std::atomic<int> m_unitsDone{0};

    std::string m_pattern;  // what the scan units look for; read-only while they run

    // The tables lie together in memory taken in 2 MB pages where the system allows (see
    // ReserveHugePageSpace), as do the sorting room's kSortRoom entries and the viewed flags.
    std::atomic<int> m_mailCount{0};  // entries of m_mailStarts in use
    int* m_mailStarts = nullptr;      // kMailCapacity: absolute offsets of the marks (From_ lines)
    std::atomic<int> m_hitCount{0};   // hits, then (after mapping) matching mails
    // Entries of m_hits that stand for a matching mail without a hit (a query that a mail
    // matches by its date or by the words it lacks): not hits, so the counter leaves them out.
    std::atomic<int> m_matchOnlyEntries{0};
    int* m_hits = nullptr;  // kHitCapacity: hit offsets, then mail indexes of matching mails
    // Room for sorting one of the tables, used on the thread that drives the search.
    int* m_sortRoom = nullptr;
    // The run of each chunk's unit in m_mailStarts and in m_hits.
    ScanRun m_mailRuns[kChunkCapacity];
    ScanRun m_hitRuns[kChunkCapacity];

    // kViewedCapacity: 1 once the mail at result position p has been shown. The flags lie
    // with the tables, whose memory the system gives zeroed as it is first touched: as an
    // array in the state they would be cleared, page fault by page fault, when every search
    // context is made, before the first search could start.
    int* m_viewedFlags = nullptr;
    // Sets the flag of position, which must lie below kViewedCapacity. Both calls are made on
    // the thread that drives the search.
    void MarkViewed(int position);
    // Clears every flag. Only the span flags were set in since the last clearing is written, so
    // that a new search does not touch all of the array's pages for nothing.
    void ClearViewedFlags();

    // Set when a loader could not read its chunk; the driver then ends the search.
    std::atomic<bool> m_loadFailed{false};
    // Set while the owner drains its units: they then skip their work.
    std::atomic<bool> m_cancelUnits{false};
    // Called by the unit that ends a phase.
    PhaseEndWakeSlot m_phaseEndWake;

    CSearchController* m_mailView = nullptr;  // the controller whose m_nState the units write

    // The file's size as a load unit last measured it (-1 before the first).
    std::atomic<std::int64_t> m_measuredSize{-1};
    int m_loadLanes = 1;  // lanes of the load's reading order; set before its units are posted

    // What the load units found for the scan units of the same chunks.
    PrescanFinds& Prescan() { return *m_prescan; }

    // Total bytes loaded: every chunk but the last is full.
    std::int64_t LoadedSize() const;
    // Gives the loaded chunks' memory back to the system; their contents are gone.
    void ReleaseChunks();

  private:
    char* m_tables = nullptr;     // the tables and the sorting room, with guard pages
    bool m_tablesMapped = false;  // from ReserveHugePageSpace, else from new[]
    char* m_arena = nullptr;      // kMaxFileSize of address space for the chunks, or null
    int m_viewedEnd = 0;          // one past the highest flag set since the last clearing
    std::unique_ptr<PrescanFinds> m_prescan;
};

inline constexpr int kSortRoom = kMailCapacity > kHitCapacity ? kMailCapacity : kHitCapacity;
// Address space of bytes from a 2 MB boundary on, or nullptr when the system refuses it. Its
// pages become memory as they are first written, 2 MB at a time where the system allows: a
// search writes hundreds of 4 KB pages of its tables and chunks for the first time, and in a
// virtual machine each of those faults costs microseconds, several times what clearing the
// page does.
void* ReserveHugePageSpace(std::size_t bytes);
// Gives back what ReserveHugePageSpace(bytes) returned.
void ReleaseHugePageSpace(void* space, std::size_t bytes);

// Chunk index and offset within it of an absolute file offset.
inline int ChunkOf(std::int64_t offset) {
    return static_cast<int>(offset / kChunkSize);
}
inline int PlaceOf(std::int64_t offset) {
    return static_cast<int>(offset % kChunkSize);
}

}  // namespace tarsel
