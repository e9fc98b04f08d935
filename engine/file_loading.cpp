// The load phase: the size check and one unit per 100000-byte chunk. The file is opened once,
// read-only and never created; every unit reads its own chunk with pread.
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <string>

#include "engine/chunk_prescan.h"
#include "engine/file_mapping.h"
#include "engine/mbox_pieces.h"
#include "engine/messages.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {
namespace {

// A unit whose chunk ends within the file's size as a unit of the load last measured it takes
// the view without measuring again, but every kMeasureEvery-th chunk measures anyway, so that a
// file that shrinks while loading is noticed within a few chunks; what vanished in between
// reads as blanks through the view's guard all the same.
constexpr int kMeasureEvery = 16;

// The chunk that load unit u reads. The units at work at one time are consecutive (they start
// in order). On neighbouring chunks of a view, their threads would fault in its pages under the
// lock of one page-table page (2 MB of the mapping) and wait for each other. So a view of a
// cached file is read in blocks of lanes * kLaneChunks chunks, one lane of each block per
// thread, and consecutive units take their chunks from different lanes, more than 2 MB apart.
// One lane reads the file in order, as a file read from the disk reads best.
constexpr int kLaneChunks = 23;  // 2.1 MB lie between chunks 22 apart
int ChunkOfUnit(int u, int chunks, int lanes) {
    const int block = u / (lanes * kLaneChunks);
    const int first = block * lanes * kLaneChunks;
    if (first + lanes * kLaneChunks > chunks) {
        return u;  // the last, partial block is read in order
    }
    const int at = u - first;
    // The lanes turn by one from block to block, so that the last unit of a block and the first
    // of the next are far apart too.
    const int lane = (at + block) % lanes;
    return first + lane * kLaneChunks + at / lanes;
}

// Files of /proc and the like report size 0 but have content. Such a file is read to its end
// into an anonymous file, which then loads like any other. Returns that file's descriptor
// (closing fd), or -1 with tooLarge telling a file above the capacity from a failed read.
int SpoolUnsizedFile(int fd, std::uint64_t& size, bool& tooLarge) {
    tooLarge = false;
    const int spool = ::memfd_create("tarsel-load", MFD_CLOEXEC);
    bool ok = spool >= 0;
    size = 0;
    std::string space(1 << 16, '\0');
    char* const buffer = space.data();
    while (ok) {
        const ssize_t n = ::read(fd, buffer, space.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        size += static_cast<std::uint64_t>(n);
        if (size > kMaxFileSize) {
            tooLarge = true;
            ok = false;
            break;
        }
        for (ssize_t done = 0; ok && done < n;) {
            const ssize_t w = ::write(spool, buffer + done, static_cast<std::size_t>(n - done));
            ok = w > 0 || (w < 0 && errno == EINTR);
            done += w > 0 ? w : 0;
        }
    }
    ::close(fd);
    if (!ok && spool >= 0) {
        ::close(spool);
    }
    return ok ? spool : -1;
}

}  // namespace

void CSearchController::ForgetLoadView() {
    if (m_loadView == nullptr) {
        return;
    }
    // The chunks of this context point into no other view than its own, so its range is
    // enough: asking the table of every view for each of the thousand chunks took longer
    // than a small search.
    const char* const end = m_loadView + m_loadViewSize;
    for (FileChunk& chunk : m_state->m_fileChunks) {
        const char* const data = chunk.view().data();
        if (data != nullptr && data >= m_loadView && data < end) {
            chunk.Borrow(nullptr, 0);
        }
    }
    UnmapLoadFile(m_loadView);
    m_loadView = nullptr;
    m_loadViewSize = 0;
}

bool CSearchController::StartLoading() {
    if (m_bPhaseRunning) {
        return false;
    }
    SearchState& state = *m_state;
    state.m_unitsDone = 0;
    state.m_filePath = m_strFilePath;
    const std::string shown = m_strFilePath.string();
    if (m_strFilePath.empty()) {
        ShowWarning(msg::kNoFile);
        return false;
    }
    // Non-blocking, so that opening a FIFO with no writer cannot hang the search.
    const int fd = ::open(m_strFilePath.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        ShowWarning(msg::CannotOpen(shown));
        return false;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        ShowWarning(msg::NotRegularFile(shown));
        return false;
    }
    m_nFileSize = static_cast<std::uint64_t>(st.st_size);
    if (m_nLoadLength >= 0) {
        // A piece of a large mbox: what the file still holds of it.
        const auto end = std::min<std::uint64_t>(
            m_nFileSize, static_cast<std::uint64_t>(m_nLoadOffset + m_nLoadLength));
        m_nFileSize = end > static_cast<std::uint64_t>(m_nLoadOffset)
                          ? end - static_cast<std::uint64_t>(m_nLoadOffset)
                          : 0;
    }
    int loadFd = fd;
    bool tooLarge = m_nFileSize > kMaxFileSize;
    if (m_nFileSize == 0 && m_nLoadLength < 0) {
        loadFd = SpoolUnsizedFile(fd, m_nFileSize, tooLarge);
        if (loadFd < 0 && !tooLarge) {
            ShowWarning(msg::CannotRead(shown));
            return false;
        }
    }
    if (tooLarge) {
        // An mbox that is not cut into pieces is above even the mbox's own capacity.
        const std::string message = loadFd >= 0 && m_nLoadLength < 0 && FileStartsAsMbox(loadFd)
                                        ? msg::FileTooLarge(kMboxMaxFileSize)
                                        : msg::FileTooLarge();
        ShowWarning(SeveralArchives() ? msg::InArchive(m_strFilePath.filename().string(), message)
                                      : message);
        if (loadFd >= 0) {
            ::close(loadFd);
        }
        return false;
    }
    CloseLoadFile();
    m_loadFd = loadFd;
    state.m_loadFailed = false;
    state.m_loadOffset = m_nLoadOffset;
    ForgetLoadView();
    if (m_bLoadFromView) {
        m_loadView = MapLoadFile(loadFd, m_nFileSize, static_cast<std::uint64_t>(m_nLoadOffset));
        m_loadViewSize = m_loadView != nullptr ? m_nFileSize : 0;
        state.m_measuredSize = -1;
    }
    state.m_loadLanes = m_loadView != nullptr && LoadFileViewCached(m_loadView)
                            ? WorkerPool::Shared().Threads()
                            : 1;
    const int chunks = static_cast<int>((m_nFileSize + kChunkSize - 1) / kChunkSize);
    state.m_chunkCount = chunks;
    state.m_lastChunkSize =
        chunks == 0
            ? 0
            : static_cast<int>(m_nFileSize - static_cast<std::uint64_t>(chunks - 1) * kChunkSize);
    // A decoded search reads each mail as a reader does and never uses the raw occurrences:
    // the load pass then looks for the mark alone.
    BeginPrescan(state, m_bDecoded ? std::string() : SearchPattern(m_strSearch));
    BeginPhase(kStateLoading, chunks);
    if (m_pPanes != nullptr) {
        m_pPanes->SetProgress(0);
    }
    WorkerPool::Shared().Post(&CSearchController::LoadUnit, this, chunks);
    return true;
}

namespace {

// Reads chunk c (want bytes at offset at) into buffer; what the file no longer holds reads as
// blanks. False when a read failed.
bool ReadChunk(int fd, off_t at, char* buffer, int want) {
    int got = 0;
    bool ok = true;
    while (got < want) {
        const ssize_t n = ::pread(fd, buffer + got, static_cast<size_t>(want - got), at + got);
        if (n > 0) {
            got += static_cast<int>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            ok = n == 0;
            break;  // the file shrank: what is missing reads as spaces
        }
    }
    std::fill(buffer + got, buffer + want, ' ');
    return ok;
}

// Whether the file still holds its first end bytes, so that a view of them can be read. The
// descriptor is a regular file (checked when it was opened) read only with pread, so its end
// is measured by seeking there.
bool FileReaches(SearchState& state, int fd, int c, off_t end) {
    if (c % kMeasureEvery != 0 && end <= state.m_measuredSize.load(std::memory_order_relaxed)) {
        return true;
    }
    const off_t size = ::lseek(fd, 0, SEEK_END);
    state.m_measuredSize.store(size, std::memory_order_relaxed);
    return size >= end;
}

}  // namespace

void CSearchController::LoadUnit(void* context, int unit) {
    auto* self = static_cast<CSearchController*>(context);
    SearchState& state = *self->m_state;
    const int c = ChunkOfUnit(unit, state.m_chunkCount, state.m_loadLanes);
    if (state.m_cancelUnits.load()) {
        FinishUnit(state);
        return;
    }
    if (c >= kChunkCapacity) {
        self->m_nState = kStateFileCapacity;
        FinishUnit(state);
        return;
    }
    const int want = c == state.m_chunkCount - 1 ? state.m_lastChunkSize : kChunkSize;
    const off_t at = static_cast<off_t>(c) * kChunkSize;  // in the piece loaded
    const off_t fileAt = at + static_cast<off_t>(state.m_loadOffset);
    const auto bytes = static_cast<std::size_t>(want);
    FileChunk& chunk = state.m_fileChunks[c];
    char* buffer = nullptr;
    if (self->m_loadView != nullptr && FileReaches(state, self->m_loadFd, c, fileAt + want)) {
        // The chunk is the view's bytes unless they hold a NUL, which needs a blanked copy.
        const char* viewed = self->m_loadView + at;
        chunk.Borrow(viewed, want);
        if (!PrescanChunk(state, c, std::string_view(viewed, bytes))) {
            buffer = chunk.Prepare();
            std::memcpy(buffer, viewed, bytes);
        }
        if (LoadFileViewFailed(self->m_loadView)) {
            state.m_loadFailed = true;
        }
    } else {
        buffer = chunk.Prepare();
        if (!ReadChunk(self->m_loadFd, fileAt, buffer, want)) {
            state.m_loadFailed = true;
        }
        // NUL bytes read as blanks, so a chunk never holds one. They are rare: the pass that
        // finds the marks and hits for the later phases looks for them too.
        if (PrescanChunk(state, c, std::string_view(buffer, bytes))) {
            chunk.Commit(want);
            buffer = nullptr;
        }
    }
    if (buffer != nullptr) {
        for (char* p = buffer; (p = static_cast<char*>(std::memchr(p, 0, buffer + want - p)));) {
            *p++ = ' ';
        }
        PrescanChunk(state, c, std::string_view(buffer, bytes));
        chunk.Commit(want);
    }
    state.m_unitsDone.fetch_add(1);
    FinishUnit(state);
}

}  // namespace tarsel
