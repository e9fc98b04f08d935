// Shared pieces of the fuzz targets: cutting one input into the parts a target needs, and a
// check that stops the run with a message the fuzzer keeps next to the crashing input.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace tarsel::fuzz {

// Reads the input from the front; once it is used up every read gives zeros or nothing.
class FuzzInput {
  public:
    FuzzInput(const std::uint8_t* data, std::size_t size)
        : rest_(reinterpret_cast<const char*>(data), size) {}

    std::uint8_t TakeByte() {
        if (rest_.empty()) {
            return 0;
        }
        const auto byte = static_cast<std::uint8_t>(rest_.front());
        rest_.remove_prefix(1);
        return byte;
    }

    std::uint16_t TakeWord() {
        const std::uint16_t high = TakeByte();
        return static_cast<std::uint16_t>(high << 8 | TakeByte());
    }

    std::string TakeBytes(std::size_t count) {
        const std::string_view taken = rest_.substr(0, count);
        rest_.remove_prefix(taken.size());
        return std::string(taken);
    }

    std::string TakeRest() {
        std::string all(rest_);
        rest_ = {};
        return all;
    }

  private:
    std::string_view rest_;
};

// A broken property: says which, then aborts so that the fuzzer records the input.
inline void Check(bool holds, const char* property) {
    if (!holds) {
        std::fprintf(stderr, "property broken: %s\n", property);
        std::abort();
    }
}

}  // namespace tarsel::fuzz
