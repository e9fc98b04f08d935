// CP932 -> UTF-8 by table lookup: the same text Cp932ToUtf8 gives, without a converter call
// per piece. The table is made by asking Cp932ToUtf8 itself about every byte and every byte
// pair, so the two never disagree: the bytes on first use, the pairs of a lead byte when a
// text first holds that lead (a mail's text uses a third of them or less).
#pragma once

#include <atomic>
#include <cstdint>
#include <mutex>
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
    // lead is read alone (then the trail starts the next character), and for a pair that did
    // not fit an entry.
    std::string_view Pair(unsigned char lead, unsigned char trail) const;

    // Appends the UTF-8 form of cp932 to out: exactly Cp932ToUtf8(cp932).
    void Append(std::string_view cp932, std::string& out) const;
    // The UTF-8 form of cp932, written into scratch, which the caller keeps for the next text.
    std::string_view Convert(std::string_view cp932, std::string& scratch) const;
    // The room WriteUtf8 may use for a text of size bytes.
    static std::size_t RoomFor(std::size_t size) { return Room(size); }
    // Writes the UTF-8 form of cp932 at to, which has RoomFor(cp932.size()) bytes, and returns
    // its end; nullptr when the text needs the converter (Convert then asks it).
    char* WriteUtf8(std::string_view cp932, char* to) const {
        unsigned escapes = 0;
        return complete_ ? Write(cp932, to, escapes) : nullptr;
    }
    // As WriteUtf8, and nullptr as well when the UTF-8 form holds a byte that the escaping
    // of a column (json false) or of a JSON string (json true) would change, exactly when
    // NothingToEscape(form, json) is false: then the caller escapes the converted text.
    char* WriteUtf8Plain(std::string_view cp932, char* to, bool json) const {
        unsigned escapes = 0;
        char* const end = complete_ ? Write(cp932, to, escapes) : nullptr;
        return (escapes & (json ? kJsonEscapes : kTextEscapes)) == 0 ? end : nullptr;
    }

  private:
    // size holds the length of bytes in its low bits and, above them, whether the text
    // would need escaping: whole characters, so the flags of a text are those of its entries.
    struct Entry {
        char bytes[7];
        std::uint8_t size;
    };
    static constexpr unsigned kLengthBits = 0x0F;
    static constexpr unsigned kTextEscapes = 0x40;  // in a column of the text output
    static constexpr unsigned kJsonEscapes = 0x80;  // in a JSON string

    static constexpr std::size_t kEmptyRow = 0;  // a row of pairs_ whose entries are all empty
    // What is known of a byte's row of pairs.
    enum RowState : std::uint8_t { kFilled, kUnfilled, kUnfit };

    Cp932Table();
    // Fills the lead's row the first time it is needed, on whichever thread needs it; false
    // when one of its pairs did not fit an entry (texts with that lead then go to iconv).
    bool FillRow(unsigned char lead) const;
    static bool Store(std::string_view utf8, Entry& entry);
    // The room Write may use: each step writes a whole entry and moves by its size.
    static std::size_t Room(std::size_t size) {
        return size * sizeof(Entry::bytes) + sizeof(Entry);
    }
    // Writes the UTF-8 form of cp932 at to, which has Room(cp932.size()) bytes; returns the
    // end, or nullptr when the text has a lead whose row does not fit. The escape flags of
    // what was written are added to escapes.
    char* Write(std::string_view cp932, char* to, unsigned& escapes) const;

    Entry single_[256] = {};
    std::size_t pairRow_[256] = {};  // where the byte's row starts in pairs_ (else the empty row)
    // A row is filled under its lead's lock, so that threads needing different rows fill
    // them at once, and published through its state, which is read without the lock: a row
    // reads as filled only once all of it has been written.
    mutable std::atomic<RowState> rowState_[256];
    mutable std::vector<Entry> pairs_;  // 256 entries per row, made with room for every row
    mutable std::mutex fill_[256];
    bool asciiPlain_ = true;  // every ASCII byte stands for itself and starts no pair
    bool complete_ = true;    // every byte fitted an entry; else iconv is asked
};

// Cp932ToUtf8 through the table.
std::string Cp932ToUtf8Fast(std::string_view cp932);

}  // namespace tarsel
