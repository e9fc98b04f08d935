// The chunk scan must record exactly what a scan in 100-byte blocks with overlaps records:
// every occurrence, overlapping ones included, once, across block and chunk edges.
#include "engine/chunk_scan.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/pattern_finder.h"
#include "engine/search_state.h"
#include "tests/support/archive_builder.h"
#include "tests/support/gcc12_restrict.h"

namespace tarsel {
namespace {

// The block scan, step by step: a work text of the chunk with m - 1 bytes of the chunk
// before it, cut into blocks of 100 bytes with m - 1 bytes of back-step.
std::vector<int> BlockScan(const std::string& pattern) {
    std::vector<int> found;
    const int m = static_cast<int>(pattern.size());
    for (int c = 0; c < test::State().m_chunkCount; ++c) {
        const int ov = c > 0 ? m - 1 : 0;
        std::string work;
        if (c > 0) {
            work = std::string(test::State().m_fileChunks[c - 1].view().substr(kChunkSize - ov));
        }
        work += test::State().m_fileChunks[c].view();
        const int length = static_cast<int>(work.size());
        for (int k = 0;; ++k) {
            const int n =
                k * kScanBlock + kScanBlock < length ? kScanBlock : length - k * kScanBlock;
            const int b = k > 0 ? m - 1 : 0;
            std::string rest = work.substr(k * kScanBlock - b, n + b);
            int off = 0;
            for (std::size_t pos; (pos = rest.find(pattern)) != std::string::npos;) {
                found.push_back(c * kChunkSize - ov + k * kScanBlock - b + off +
                                static_cast<int>(pos));
                rest = rest.substr(pos + 1);
                off += static_cast<int>(pos) + 1;
            }
            if (n != kScanBlock) {
                break;
            }
        }
    }
    std::sort(found.begin(), found.end());
    return found;
}

std::vector<int> FastScan(const std::string& pattern, int capacity = kHitCapacity) {
    test::State().m_pattern = pattern;
    test::State().m_hitCount = 0;
    for (int c = 0; c < test::State().m_chunkCount; ++c) {
        EXPECT_TRUE(
            ScanChunk(test::State(), c,
                      ScanTable{test::State().m_hits, &test::State().m_hitCount, capacity}));
    }
    std::vector<int> found(test::State().m_hits,
                           test::State().m_hits + test::State().m_hitCount.load());
    std::sort(found.begin(), found.end());
    return found;
}

std::string Filler(std::size_t size) {
    return std::string(size, '.');
}

TEST(ChunkScan, FindsPatternsAtEveryEdge) {
    struct Case {
        const char* name;
        std::size_t at;  // where the pattern is put in a text of 250000 bytes
        std::string pattern;
    };
    const Case cases[] = {
        {"at offset 0", 0, "abc"},
        {"straddling the chunk edge", kChunkSize - 1, "\x7F\x20\x7F"},
        {"ending at the chunk edge", kChunkSize - 3, "abc"},
        {"starting at the chunk edge", kChunkSize, "abc"},
        {"straddling a block edge", 199, "abc"},
        {"straddling the second chunk edge", 2 * kChunkSize - 2, "abcdef"},
        {"at the last byte", 250000 - 1, "z"},
        {"ending at the last byte", 250000 - 4, "wxyz"},
    };
    for (const Case& c : cases) {
        std::string text = Filler(250000);
        text.replace(c.at, c.pattern.size(), c.pattern);
        test::PutIntoChunks(text);
        const std::vector<int> expected{static_cast<int>(c.at)};
        EXPECT_EQ(BlockScan(c.pattern), expected) << c.name;
        EXPECT_EQ(FastScan(c.pattern), expected) << c.name;
    }
}

TEST(ChunkScan, RecordsOverlappingOccurrences) {
    test::PutIntoChunks("xx\x7F\x20\x7F\x20\x7Fxx aaaa abab");
    EXPECT_EQ(FastScan("\x7F\x20\x7F"), (std::vector<int>{2, 4}));
    EXPECT_EQ(FastScan("aa"), (std::vector<int>{10, 11, 12}));
    EXPECT_EQ(FastScan("ab"), (std::vector<int>{15, 17}));
}

TEST(ChunkScan, AgreesWithTheBlockScanOnRandomTexts) {
    std::mt19937 random(20261208);
    for (int round = 0; round < 12; ++round) {
        const std::size_t size = 1 + random() % 330000;
        const char alphabet[] = "ab\x7F ";
        std::string text(size, ' ');
        for (char& ch : text) {
            ch = alphabet[random() % 4];
        }
        test::PutIntoChunks(text);
        for (const std::size_t length : {1u, 2u, 3u, 5u, 8u}) {
            std::string pattern(length, ' ');
            for (char& ch : pattern) {
                ch = alphabet[random() % 4];
            }
            const auto expected = BlockScan(pattern);
            if (expected.size() > std::size_t(kHitCapacity)) {
                continue;
            }
            EXPECT_EQ(FastScan(pattern), expected) << "round " << round << " length " << length;
        }
    }
}

TEST(ChunkScan, OverflowsOnlyBeyondCapacity) {
    // Capacity N holds N occurrences; the (N + 1)st overflows.
    std::string text = Filler(2 * kChunkSize);
    for (int i = 0; i < 10; ++i) {
        text[std::size_t(i) * 20000 + 5] = 'q';
    }
    test::PutIntoChunks(text);
    TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
    test::State().m_pattern = "q";
    TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
    for (const int capacity : {10, 9}) {
        test::State().m_hitCount = 0;
        bool complete = true;
        for (int c = 0; c < test::State().m_chunkCount; ++c) {
            complete =
                ScanChunk(test::State(), c,
                          ScanTable{test::State().m_hits, &test::State().m_hitCount, capacity}) &&
                complete;
        }
        EXPECT_EQ(complete, capacity == 10) << capacity;
        EXPECT_EQ(test::State().m_hitCount.load(), capacity);
    }
}

TEST(PatternFinder, StopsAtTheLimit) {
    std::vector<int> out;
    FindAllOccurrences("aaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaaa", "aa", 100, out, 5);
    EXPECT_EQ(out, (std::vector<int>{100, 101, 102, 103, 104}));
}

TEST(PatternFinder, FindsEveryOccurrenceAroundTheVectorWidth) {
    // Texts of every length around one and two vector widths, with the pattern everywhere.
    for (std::size_t size = 1; size < 70; ++size) {
        for (std::size_t at = 0; at + 3 <= size; ++at) {
            std::string text(size, '-');
            text.replace(at, 3, "8!:");
            std::vector<int> out;
            FindAllOccurrences(text, "8!:", 0, out, 100);
            ASSERT_EQ(out, std::vector<int>{static_cast<int>(at)}) << size << " " << at;
        }
    }
}

std::vector<int> NaiveOccurrences(const std::string& text, const std::string& pattern) {
    std::vector<int> found;
    for (std::size_t at = text.find(pattern); at != std::string::npos;
         at = text.find(pattern, at + 1)) {
        found.push_back(static_cast<int>(at));
    }
    return found;
}

// A pattern of length m whose first and last bytes are 'x' and 'y': a decoy with the same ends
// but another middle is a candidate that only the full comparison turns down.
std::string Ended(std::size_t m, char middle) {
    std::string pattern(m, middle);
    pattern.front() = 'x';
    pattern.back() = 'y';
    return pattern;
}

TEST(PatternFinder, FindsEveryOccurrenceAroundTheWideRound) {
    // Rounds test 64 positions at once, two of them together where they fit: a pattern at every
    // place of a pair of rounds, a single round and a tail, for the shortest pattern, a short
    // middle, a middle compared as a block and the longest pattern that is searched by its ends.
    for (const std::size_t m : {std::size_t{2}, std::size_t{4}, std::size_t{20}, kLongPattern}) {
        const std::string pattern = Ended(m, 'm');
        const std::string decoy = Ended(m, 'd');
        const std::size_t size = 3 * 64 + m + 1;
        for (std::size_t at = 0; at + m <= size; ++at) {
            std::string text(size, '-');
            text.replace(at, m, pattern);
            if (m > 2 && at >= m) {
                text.replace(at - m, m, decoy);  // ends agree just before the occurrence
            }
            std::vector<int> out;
            FindAllOccurrences(text, pattern, 1000, out, 100);
            ASSERT_EQ(out, std::vector<int>{1000 + static_cast<int>(at)}) << m << " " << at;
        }
    }
}

TEST(PatternFinder, KeepsBothHalvesOfARound) {
    // Overlapping occurrences on either side of the middle of a round (31 and 32) and on either
    // side of its end (63 and 64 are 62 + 1 and the next round), and a limit reached on either
    // side of the middle.
    std::string text(3 * 64, '-');
    text.replace(0, 2, "xx");
    text.replace(31, 3, "xxx");
    text.replace(62, 3, "xxx");
    text.replace(126, 2, "xx");
    struct Case {
        std::size_t limit;
        std::vector<int> expected;
    };
    const Case cases[] = {
        {1, {0}},
        {2, {0, 31}},
        {3, {0, 31, 32}},
        {4, {0, 31, 32, 62}},
        {100, {0, 31, 32, 62, 63, 126}},
    };
    for (const Case& c : cases) {
        std::vector<int> out;
        FindAllOccurrences(text, "xx", 0, out, c.limit);
        EXPECT_EQ(out, c.expected) << c.limit;
    }
}

TEST(PatternFinder, LongPatternsFindWhatANaiveSearchFinds) {
    // Periodic texts and patterns, where a border of the pattern matters.
    std::mt19937 random(42);
    for (int round = 0; round < 40; ++round) {
        const std::size_t period = 1 + random() % 5;
        std::string unit(period, 'a');
        for (char& ch : unit) {
            ch = "ab"[random() % 2];
        }
        std::string text;
        while (text.size() < 3000) {
            text += random() % 7 == 0 ? std::string("b") : unit;
        }
        const std::size_t length = kLongPattern + 1 + random() % 80;
        const std::size_t at = random() % (text.size() - length);
        const std::string pattern = text.substr(at, length);
        std::vector<int> found;
        FindAllOccurrences(text, pattern, 0, found, 1u << 20);
        EXPECT_EQ(found, NaiveOccurrences(text, pattern)) << round;
        EXPECT_EQ(FindFirstOccurrence(text, pattern), text.find(pattern)) << round;
        EXPECT_EQ(FindFirstOccurrence(text.substr(at + 1), pattern),
                  text.substr(at + 1).find(pattern));
    }
}

TEST(PatternFinder, AHostileRepetitiveSearchStringStaysLinear) {
    // Every position of the text is a candidate that fails only at the pattern's end: a full
    // comparison at each one would take minutes.
    const std::string text(2'000'000, 'a');
    const std::string pattern = std::string(50'000, 'a') + "b";
    std::vector<int> found;
    FindAllOccurrences(text, pattern, 0, found, 10);
    EXPECT_TRUE(found.empty());
    EXPECT_EQ(FindFirstOccurrence(text, pattern), std::string_view::npos);
    FindAllOccurrences(text, std::string(50'000, 'a'), 0, found, 3);
    EXPECT_EQ(found, (std::vector<int>{0, 1, 2}));
}

}  // namespace
}  // namespace tarsel

namespace tarsel {
namespace {

TEST(ChunkScan, SortsTablesAsTheUnitsLeaveThem) {
    const std::vector<std::vector<int>> tables = {
        {},
        {5, 17, 100003},
        // Runs of whole chunks, appended in the order their units finished.
        {200001, 200050, 7, 99, 100002, 100090},
        // The next chunk's unit appends an occurrence that begins in this chunk, before it.
        {199998, 200004, 100001, 199990, 199996},
        // Values that are no offsets of a loaded file are still sorted.
        {100, -3, 150000000, 4},
    };
    for (const std::vector<int>& table : tables) {
        std::vector<int> sorted = table;
        SortScanTable(sorted.data(), static_cast<int>(sorted.size()));
        EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
        EXPECT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), table.begin()));
    }
}

// With the runs the units recorded, the runs are put in chunk order; runs that do not add up
// to the table (a unit that never ran) leave the sorting to the general way.
TEST(ChunkScan, PutsRecordedRunsInChunkOrder) {
    struct Case {
        std::vector<int> table;
        std::vector<ScanRun> runs;  // by chunk
    };
    const std::vector<Case> cases = {
        {{200001, 200050, 7, 99, 100002, 100090}, {{2, 2}, {4, 2}, {0, 2}}},
        // Unit 2 found an occurrence that begins in chunk 1.
        {{199998, 200004, 100001, 199990, 199996}, {{0, 0}, {2, 3}, {0, 2}}},
        {{200001, 7, 99}, {{1, 2}, {0, 0}, {0, 0}}},  // chunk 2's run was not recorded
    };
    for (const Case& c : cases) {
        std::vector<int> sorted = c.table;
        SortScanTable(sorted.data(), static_cast<int>(sorted.size()), c.runs.data(),
                      static_cast<int>(c.runs.size()));
        EXPECT_TRUE(std::is_sorted(sorted.begin(), sorted.end()));
        EXPECT_TRUE(std::is_permutation(sorted.begin(), sorted.end(), c.table.begin()));
    }
}

}  // namespace
}  // namespace tarsel
