// Cutting one mail out of the loaded chunks.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tarsel {

class SearchState;

// The text of mail m: from its mark to the next mark, or to the end of the file for the
// last mail, across every chunk it spans.
std::string MailText(const SearchState& state, int m);

// The same text as a view: into the chunks themselves when they lie one after another in
// memory (the usual case), else copied into scratch.
std::string_view MailView(const SearchState& state, int m, std::string& scratch);

// Asks the processor to fetch the first bytes of mail m ahead of their use: the rows of a
// listing lie far apart in the file, and each would otherwise start by waiting on memory.
void PrefetchMailStart(const SearchState& state, int m);
// Bytes start..end of a file read again into text as a load reads them: NUL bytes as blanks,
// and what the file no longer holds as blanks. False when the file cannot be read.
bool ReadFileRange(const std::filesystem::path& path, std::int64_t start, std::int64_t end,
                   std::string& text);
// The same bytes of an open file exactly as it holds them, NUL bytes too. False when it cannot
// be read or no longer holds them all.
bool ReadOpenFileBytes(int fd, std::int64_t start, std::int64_t end, std::string& text);

}  // namespace tarsel
