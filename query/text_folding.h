// Folding of text for the decoded search: the forms in which one word may be written are
// compared as one (NFKC, full case folding, accents dropped, the pairs that Japanese charset
// decoders disagree on, and optionally hiragana as katakana).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarsel::query {

struct FoldOptions {
    bool kana = false;  // hiragana folds to katakana
};

// Where a byte of folded text came from: the original bytes of its character with the
// combining marks that follow it. A match folded[a, b) covers [spans[a].begin, spans[b-1].end).
struct Span {
    std::uint32_t begin;
    std::uint32_t end;
};

// Appends the folded form of utf8 to folded; spans, when given, gets one entry per byte
// appended (offsets into utf8). Invalid UTF-8 bytes stand for themselves.
void AppendFolded(std::string_view utf8, const FoldOptions& options, std::string& folded,
                  std::vector<Span>* spans = nullptr);
std::string Folded(std::string_view utf8, const FoldOptions& options);
// The characters in whose folded form the character k may stand (k itself first), for
// filters that look for them in unfolded text; false, with none, for a k that folding may
// compose of others (a text then holds no character that speaks for it).
bool CharactersFoldingInto(std::uint32_t k, const FoldOptions& options,
                           std::vector<std::uint32_t>& characters);
// True when utf8 is well-formed UTF-8 without NUL that folds to itself.
bool FoldsToItself(std::string_view utf8, const FoldOptions& options);
// The folded form of utf8: utf8 itself where folding leaves it as it is, else in scratch.
std::string_view FoldedView(std::string_view utf8, const FoldOptions& options,
                            std::string& scratch);

}  // namespace tarsel::query
