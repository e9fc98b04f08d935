// Test support: small mail archives built in memory, and loading text straight into chunks.
#pragma once

#include <algorithm>
#include <cstring>
#include <string>
#include <string_view>

#include "engine/search_state.h"

namespace tarsel::test {

inline const std::string kMark("\x7F\x20\x7F", 3);

// One mail: the mark, a small header and the body.
inline std::string Mail(std::string_view subject, std::string_view body,
                        std::string_view from = "Taro <taro@example.jp>") {
    std::string mail = kMark;
    mail += "From: ";
    mail += from;
    mail += "\r\nSubject: ";
    mail += subject;
    mail += "\r\nDate: Tue, 7 Dec 1999 12:34:56 +0900\r\n\r\n";
    mail += body;
    return mail;
}

// Puts text into the chunks as a load would (without NUL replacement).
inline void PutIntoChunks(std::string_view text) {
    g_chunkCount = static_cast<int>((text.size() + kChunkSize - 1) / kChunkSize);
    for (int c = 0; c < g_chunkCount; ++c) {
        const std::string_view piece = text.substr(std::size_t(c) * kChunkSize, kChunkSize);
        std::memcpy(g_fileChunks[c].Prepare(), piece.data(), piece.size());
        g_fileChunks[c].Commit(static_cast<int>(piece.size()));
    }
    g_lastChunkSize = g_chunkCount == 0 ? 0 : g_fileChunks[g_chunkCount - 1].size();
}

}  // namespace tarsel::test
