// CP932 -> UTF-8 by table lookup: the same text Cp932ToUtf8 gives, without a converter call
// per piece. The table is made once, on first use, by asking Cp932ToUtf8 itself about every
// byte and every byte pair, so the two never disagree.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarsel {

class Cp932Table {
  public:
    // The one table of the process, built on the first call (thread-safe).
    static const Cp932Table& Get();

    // What a byte standing alone becomes.
    std::string_view Single(unsigned char byte) const;
    // What a byte pair becomes when the two bytes are read as one character; empty when the
    // lead is read alone (then the trail starts the next character).
    std::string_view Pair(unsigned char lead, unsigned char trail) const;

    // Appends the UTF-8 form of cp932 to out: exactly Cp932ToUtf8(cp932).
    void Append(std::string_view cp932, std::string& out) const;
    // The UTF-8 form of cp932, written into scratch, which the caller keeps for the next text.
    std::string_view Convert(std::string_view cp932, std::string& scratch) const;

  private:
    struct Entry {
        char bytes[7];
        std::uint8_t size;
    };

    static constexpr std::size_t kEmptyRow = 0;  // a row of pairs_ whose entries are all empty

    Cp932Table();
    void AddPairRow(unsigned char lead);
    static bool Store(std::string_view utf8, Entry& entry);
    // The room Write may use: each step writes a whole entry and moves by its size.
    static std::size_t Room(std::size_t size) {
        return size * sizeof(Entry::bytes) + sizeof(Entry);
    }
    // Writes the UTF-8 form of cp932 at to, which has Room(cp932.size()) bytes; returns the end.
    char* Write(std::string_view cp932, char* to) const;

    Entry single_[256] = {};
    std::int16_t row_[256];  // the lead's row in pairs_, or -1 when it starts no pair
    std::size_t pairRow_[256] =
        {};                     // where the lead's row starts in pairs_ (the empty row if none)
    std::vector<Entry> pairs_;  // 256 entries per row
    bool asciiPlain_ = true;    // every ASCII byte stands for itself and starts no pair
    bool complete_ = true;      // every conversion fitted an entry; else iconv is asked
};

// Cp932ToUtf8 through the table.
std::string Cp932ToUtf8Fast(std::string_view cp932);

}  // namespace tarsel
