// A short text compared with the bytes of a mail eight at a time: letters in either case, every
// other byte as it is.
#pragma once

#include <cstdint>
#include <cstring>
#include <string_view>

namespace tarsel {

// Up to eight bytes, read as one word in memory order: callers use it on little-endian
// processors only and walk the bytes elsewhere.
class CaseBlindWord {
  public:
    constexpr explicit CaseBlindWord(std::string_view text) {
        for (std::size_t i = 0; i < text.size() && i < sizeof(std::uint64_t); ++i) {
            const auto byte = static_cast<unsigned char>(text[i]);
            const bool letter = (byte | 0x20) >= 'a' && (byte | 0x20) <= 'z';
            // With the case bit set, a byte matches a letter's lower-case form exactly when it
            // is that letter in either case.
            const std::uint64_t caseBit = letter ? 0x20 : 0;
            lower_ |= (byte | caseBit) << (8 * i);
            caseBits_ |= caseBit << (8 * i);
            used_ |= std::uint64_t{0xFF} << (8 * i);
        }
    }

    // Whether the text stands at at, whose next eight bytes must be readable.
    bool At(const char* at) const {
        std::uint64_t bytes;
        std::memcpy(&bytes, at, sizeof bytes);
        return ((bytes | caseBits_) & used_) == lower_;
    }

  private:
    std::uint64_t lower_ = 0;     // the text, letters in lower case
    std::uint64_t caseBits_ = 0;  // 0x20 where the text has a letter
    std::uint64_t used_ = 0;      // 0xFF for each byte of the text
};

}  // namespace tarsel
