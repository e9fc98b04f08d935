// Cutting one mail out of the loaded chunks.
#include "engine/mail_text.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>

#include "engine/search_state.h"

namespace tarsel {

std::string MailText(const SearchState& state, int m) {
    const std::int64_t start = state.m_mailStarts[m];
    const std::int64_t end =
        m + 1 < state.m_mailCount.load() ? state.m_mailStarts[m + 1] : state.LoadedSize();
    std::string text;
    text.reserve(static_cast<std::size_t>(std::max<std::int64_t>(0, end - start)));
    for (std::int64_t at = start; at < end;) {
        const std::string_view chunk = state.m_fileChunks[ChunkOf(at)].view();
        const std::size_t place = static_cast<std::size_t>(PlaceOf(at));
        const std::size_t take =
            std::min<std::size_t>(chunk.size() - place, static_cast<std::size_t>(end - at));
        if (take == 0) {
            break;  // nothing loaded there (the table and the chunks disagree)
        }
        text.append(chunk.substr(place, take));
        at += static_cast<std::int64_t>(take);
    }
    return text;
}

std::string_view MailView(const SearchState& state, int m, std::string& scratch) {
    const std::int64_t start = state.m_mailStarts[m];
    const std::int64_t end =
        m + 1 < state.m_mailCount.load() ? state.m_mailStarts[m + 1] : state.LoadedSize();
    if (end <= start) {
        return {};
    }
    const int first = ChunkOf(start);
    const int last = ChunkOf(end - 1);
    const char* base = state.m_fileChunks[first].view().data();
    bool contiguous = base != nullptr;
    for (int c = first + 1; contiguous && c <= last; ++c) {
        contiguous =
            state.m_fileChunks[c].view().data() == base + std::int64_t{c - first} * kChunkSize &&
            state.m_fileChunks[c - 1].size() == kChunkSize;
    }
    if (contiguous && PlaceOf(end - 1) < state.m_fileChunks[last].size()) {
        return {base + PlaceOf(start), static_cast<std::size_t>(end - start)};
    }
    scratch = MailText(state, m);
    return scratch;
}

void PrefetchMailStart(const SearchState& state, int m) {
    // About the header block of a usual mail; the processor fetches on from there by itself.
    constexpr std::int64_t kLines = 8;
    constexpr std::int64_t kLine = 64;
    const std::int64_t start = state.m_mailStarts[m];
    const std::string_view chunk = state.m_fileChunks[ChunkOf(start)].view();
    const std::int64_t place = PlaceOf(start);
    const std::int64_t lines =
        std::min(kLines, (static_cast<std::int64_t>(chunk.size()) - place + kLine - 1) / kLine);
    for (std::int64_t line = 0; line < lines; ++line) {
        __builtin_prefetch(chunk.data() + place + line * kLine);
    }
}

namespace {

// Reads bytes start..end of the open file into text, blanks where the file ends before; got
// tells how many were read. False when the file cannot be read.
bool ReadBytes(int fd, std::int64_t start, std::int64_t end, std::string& text, std::size_t& got) {
    got = 0;
    text.assign(static_cast<std::size_t>(std::max<std::int64_t>(0, end - start)), ' ');
    bool ok = true;
    while (got < text.size()) {
        const ssize_t n = ::pread(fd, text.data() + got, text.size() - got,
                                  static_cast<off_t>(start + static_cast<std::int64_t>(got)));
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            ok = n == 0;
            break;
        }
        got += static_cast<std::size_t>(n);
    }
    return ok;
}

}  // namespace

bool ReadFileRange(const std::filesystem::path& path, std::int64_t start, std::int64_t end,
                   std::string& text) {
    std::size_t got = 0;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    const bool ok = fd >= 0 && ReadBytes(fd, start, end, text, got);
    if (fd >= 0) {
        ::close(fd);
    }
    std::replace(text.begin(), text.end(), '\0', ' ');
    return ok;
}

bool ReadOpenFileBytes(int fd, std::int64_t start, std::int64_t end, std::string& text) {
    std::size_t got = 0;
    return ReadBytes(fd, start, end, text, got) && got == text.size();
}

}  // namespace tarsel
