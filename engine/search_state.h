// The process-wide search state: the loaded file, the mail and hit tables and the counters
// through which the main thread follows the workers of the running phase.
#pragma once

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

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

// One 100000-byte piece of the file. Its buffer is a fixed slot of one arena that is
// reserved once for all chunks and refilled by later loads, or bytes of a view of the file
// that the chunk only points into; a loaded chunk never holds a NUL byte.
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
    void Restamp();

    char* slot_ = nullptr;        // the chunk's own buffer, once it needed one
    const char* data_ = nullptr;  // the chunk's bytes: the slot or borrowed ones
    int size_ = 0;
    std::uint64_t stamp_ = 0;
};

extern FileChunk g_fileChunks[kChunkCapacity];
extern int g_lastChunkSize;               // bytes of the final chunk, 1..kChunkSize
extern std::filesystem::path g_filePath;  // the file being loaded
extern int g_chunkCount;                  // chunks of the loaded file; also units per scan phase

// Units of the running phase that have not finished. Each unit decrements it once, as its
// very last act; 0 means the phase has ended and is not yet handled, 1 means nothing pending.
extern std::atomic<int> g_workersRunning;
// Units of the running phase that completed normally (progress numerator).
extern std::atomic<int> g_unitsDone;

extern std::string g_pattern;  // what the scan units look for; read-only while they run

// The tables lie together in memory taken in 2 MB pages where the system allows (see
// ReserveHugePageSpace), as do the sorting room's kSortRoom entries.
extern std::atomic<int> g_mailCount;  // entries of g_mailStarts in use
extern int* const g_mailStarts;       // kMailCapacity: absolute offsets of the mail marks
extern std::atomic<int> g_hitCount;   // hits, then (after mapping) matching mails
extern int* const g_hits;  // kHitCapacity: hit offsets, then mail indexes of the matching mails
inline constexpr int kSortRoom = kMailCapacity > kHitCapacity ? kMailCapacity : kHitCapacity;
// Room for sorting one of the tables, used on the thread that drives the search.
extern int* const g_sortRoom;
// Address space of bytes from a 2 MB boundary on, or nullptr when the system refuses it. Its
// pages become memory as they are first written, 2 MB at a time where the system allows: a
// search writes hundreds of 4 KB pages of its tables and chunks for the first time, and in a
// virtual machine each of those faults costs microseconds, several times what clearing the
// page does.
void* ReserveHugePageSpace(std::size_t bytes);
// 1 once the mail at result position p has been shown.
extern std::atomic<int> g_viewedFlags[kViewedCapacity];
// Sets the flag of position, which must lie below kViewedCapacity. Both calls are made on the
// thread that drives the search.
void MarkViewed(int position);
// Clears every flag. Only the span flags were set in since the last clearing is written, so
// that a new search does not touch all of the array's pages for nothing.
void ClearViewedFlags();

// Set when a loader could not read its chunk; the driver then ends the search.
extern std::atomic<bool> g_loadFailed;

class CSearchController;
extern CSearchController* g_mailView;  // the controller whose m_nState the workers write

// Chunk index and offset within it of an absolute file offset.
inline int ChunkOf(std::int64_t offset) {
    return static_cast<int>(offset / kChunkSize);
}
inline int PlaceOf(std::int64_t offset) {
    return static_cast<int>(offset % kChunkSize);
}

// Total bytes loaded: every chunk but the last is full.
std::int64_t LoadedSize();

}  // namespace tarsel
