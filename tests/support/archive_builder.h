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

// The search state of the tests that fill chunks and tables themselves, without a controller.
inline SearchState& State() {
    static SearchState* const state = new SearchState;
    return *state;
}

// Puts text into the chunks of state as a load would (without NUL replacement).
inline void PutIntoChunks(std::string_view text, SearchState& state = State()) {
    state.m_chunkCount = static_cast<int>((text.size() + kChunkSize - 1) / kChunkSize);
    for (int c = 0; c < state.m_chunkCount; ++c) {
        const std::string_view piece = text.substr(std::size_t(c) * kChunkSize, kChunkSize);
        std::memcpy(state.m_fileChunks[c].Prepare(), piece.data(), piece.size());
        state.m_fileChunks[c].Commit(static_cast<int>(piece.size()));
    }
    state.m_lastChunkSize =
        state.m_chunkCount == 0 ? 0 : state.m_fileChunks[state.m_chunkCount - 1].size();
}

}  // namespace tarsel::test
