// The load phase: the size check and one unit per 100000-byte chunk. The file is opened once,
// read-only and never created, and mapped; a unit shows its chunk in place when it holds no
// NUL byte, and otherwise (or when the file could not be mapped) copies it into the chunk's
// slot with each NUL read as a blank.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "engine/file_mapping.h"
#include "engine/messages.h"
#include "engine/phase_units.h"
#include "engine/search_controller.h"
#include "engine/worker_pool.h"

namespace tarsel {

bool CSearchController::StartLoading() {
    if (m_bPhaseRunning) {
        return false;
    }
    g_unitsDone = 0;
    g_filePath = m_strFilePath;
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
    if (m_nFileSize > kMaxFileSize) {
        ::close(fd);
        ShowWarning(msg::FileTooLarge());
        return false;
    }
    CloseLoadFile();
    // The chunks of the previous file may show its mapping, which is about to go.
    for (int c = 0; c < g_chunkCount; ++c) {
        g_fileChunks[c].Show(nullptr, 0);
    }
    m_loadFd = fd;
    m_loadMap = MapLoadFile(fd, m_nFileSize);
    g_loadFailed = false;
    const int chunks = static_cast<int>((m_nFileSize + kChunkSize - 1) / kChunkSize);
    g_chunkCount = chunks;
    g_lastChunkSize =
        chunks == 0
            ? 0
            : static_cast<int>(m_nFileSize - static_cast<std::uint64_t>(chunks - 1) * kChunkSize);
    BeginPhase(kStateLoading, chunks);
    if (m_pPanes != nullptr) {
        m_pPanes->SetProgress(0);
    }
    WorkerPool::Shared().Post(&CSearchController::LoadUnit, this, chunks);
    return true;
}

namespace {

// Stores the size bytes in chunk c's slot with each NUL read as a blank, so a chunk never
// holds one.
void CommitBlanked(int c, char* buffer, int size) {
    for (char* p = buffer; (p = static_cast<char*>(std::memchr(p, 0, buffer + size - p)));) {
        *p++ = ' ';
    }
    g_fileChunks[c].Commit(size);
}

void ReadChunk(int fd, int c, off_t at, int want) {
    char* buffer = g_fileChunks[c].Prepare();
    int got = 0;
    while (got < want) {
        const ssize_t n = ::pread(fd, buffer + got, static_cast<size_t>(want - got), at + got);
        if (n > 0) {
            got += static_cast<int>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            if (n < 0) {
                g_loadFailed = true;
            }
            break;  // the file shrank: what is missing reads as spaces
        }
    }
    std::memset(buffer + got, ' ', static_cast<std::size_t>(want - got));
    CommitBlanked(c, buffer, want);
}

}  // namespace

void CSearchController::LoadUnit(void* context, int c) {
    auto* self = static_cast<CSearchController*>(context);
    if (g_cancelUnits.load()) {
        FinishUnit();
        return;
    }
    if (c >= kChunkCapacity) {
        self->m_nState = kStateFileCapacity;
        FinishUnit();
        return;
    }
    const int want = c == g_chunkCount - 1 ? g_lastChunkSize : kChunkSize;
    const off_t at = static_cast<off_t>(c) * kChunkSize;
    if (self->m_loadMap != nullptr) {
        const char* bytes = self->m_loadMap + at;
        if (std::memchr(bytes, 0, static_cast<std::size_t>(want)) == nullptr) {
            g_fileChunks[c].Show(bytes, want);
        } else {
            char* buffer = g_fileChunks[c].Prepare();
            std::memcpy(buffer, bytes, static_cast<std::size_t>(want));
            CommitBlanked(c, buffer, want);
        }
    } else {
        ReadChunk(self->m_loadFd, c, at, want);
    }
    g_unitsDone.fetch_add(1);
    FinishUnit();
}

}  // namespace tarsel
