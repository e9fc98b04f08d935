// The archive generator's random numbers: splitmix64 and a few helpers on top of it, all integer
// arithmetic, so that one seed yields the same archive with every compiler and library.
#pragma once

#include <cstddef>
#include <cstdint>
#include <initializer_list>

namespace tarsel::archive {

class SplitMix64 {
  public:
    explicit SplitMix64(std::uint64_t seed) : state_(seed) {}

    std::uint64_t Next() {
        std::uint64_t z = (state_ += 0x9E3779B97F4A7C15ULL);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ULL;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBULL;
        return z ^ (z >> 31);
    }

    // Uniform enough in [0, bound) for test data; bound must not be 0.
    std::uint64_t Below(std::uint64_t bound) { return Next() % bound; }

    // Uniform in [low, high], both ends included.
    std::uint64_t Between(std::uint64_t low, std::uint64_t high) {
        return low + Below(high - low + 1);
    }

    // True in `percent` cases out of 100.
    bool Percent(unsigned percent) { return Below(100) < percent; }

    template <class Container>
    const auto& Pick(const Container& items) {
        return items[Below(items.size())];
    }

    // Index of the chosen weight; the chance of each index is its weight over the sum.
    std::size_t Weighted(std::initializer_list<unsigned> weights) {
        unsigned total = 0;
        for (unsigned w : weights) {
            total += w;
        }
        std::uint64_t roll = Below(total);
        std::size_t index = 0;
        for (unsigned w : weights) {
            if (roll < w) {
                return index;
            }
            roll -= w;
            ++index;
        }
        return weights.size() - 1;
    }

  private:
    std::uint64_t state_;
};

}  // namespace tarsel::archive
