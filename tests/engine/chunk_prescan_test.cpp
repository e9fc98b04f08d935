// What a load unit finds in its chunk must be exactly what the scan units would find there:
// every occurrence of the mark and of the search string, overlapping ones included, up to the
// scan's limit; nothing when the bytes hold a NUL, or once the chunk has been refilled.
#include "engine/chunk_prescan.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/pattern_finder.h"
#include "engine/search_state.h"
#include "tests/support/archive_builder.h"

namespace tarsel {
namespace {

const std::string kMark("\x7F\x20\x7F", 3);

struct Take {
    bool clean;  // no NUL in the text
    bool taken;  // the load's finds were given
    std::vector<int> found;
};

// Chunk c refilled with text, then found by its load: what TakePrescanned then gives.
Take Prescanned(int c, const std::string& text, const std::string& pattern, std::size_t limit) {
    char* buffer = test::State().m_fileChunks[c].Prepare();
    std::copy(text.begin(), text.end(), buffer);
    Take take;
    take.clean = PrescanChunk(test::State(), c, std::string_view(buffer, text.size()));
    test::State().m_fileChunks[c].Commit(static_cast<int>(text.size()));
    take.taken = TakePrescanned(test::State(), c, pattern, take.found, limit);
    return take;
}

std::vector<int> Scanned(int c, const std::string& text, const std::string& pattern,
                         std::size_t limit) {
    std::vector<int> out;
    FindAllOccurrences(text, pattern, std::int64_t{c} * kChunkSize, out, limit);
    return out;
}

TEST(ChunkPrescan, FindsWhatTheScanFindsOnRandomChunks) {
    std::mt19937 random(7);
    // Few distinct bytes, so that marks, patterns and their overlaps are frequent; a NUL now
    // and then.
    const std::string alphabet = std::string(
        "\x7F\x20\x7F"
        "ab",
        5);
    for (int round = 0; round < 300; ++round) {
        const std::size_t size = random() % 3000 + (round % 10 == 0 ? kChunkSize - 3000 : 0);
        std::string text(size, ' ');
        for (char& byte : text) {
            byte = alphabet[random() % alphabet.size()];
        }
        if (round % 7 == 0 && size > 0) {
            text[random() % size] = '\0';
        }
        std::string pattern(random() % 70 + 1, 'a');
        for (char& byte : pattern) {
            byte = alphabet[random() % alphabet.size()];
        }
        const int c = static_cast<int>(random() % 5);
        const std::size_t limit = round % 3 == 0 ? random() % 50 : kHitCapacity + 1;
        BeginPrescan(test::State(), pattern);
        const bool hasNul = text.find('\0') != std::string::npos;
        for (const std::string& wanted : {kMark, pattern}) {
            const Take take = Prescanned(c, text, wanted, limit);
            EXPECT_EQ(take.clean, !hasNul) << round;
            // A list too long to keep is left to the scan unit; a short one is always kept.
            const std::size_t all = Scanned(c, text, wanted, kChunkSize + 1).size();
            EXPECT_TRUE(take.clean || !take.taken) << round;
            EXPECT_TRUE(!take.clean || all > 100 || take.taken) << round;
            if (take.taken) {
                EXPECT_EQ(take.found, Scanned(c, text, wanted, limit))
                    << round << " pattern of " << wanted.size();
            }
        }
    }
}

TEST(ChunkPrescan, GivesItsFindsOnceAndOnlyForTheChunkAsFound) {
    const std::string text = "xx" + kMark + "needle" + kMark + "needle";
    BeginPrescan(test::State(), "needle");
    EXPECT_EQ(Prescanned(2, text, "needle", 100).found, (std::vector<int>{200005, 200014}));
    std::vector<int> out;
    EXPECT_FALSE(TakePrescanned(test::State(), 2, "needle", out, 100)) << "taken twice";

    Prescanned(2, text, "needle", 100);
    EXPECT_FALSE(TakePrescanned(test::State(), 2, "other", out, 100)) << "another search string";
    EXPECT_TRUE(TakePrescanned(test::State(), 2, kMark, out, 100));
    EXPECT_EQ(out, (std::vector<int>{200002, 200011}));

    Prescanned(2, text, "needle", 100);
    test::State().m_fileChunks[2].Prepare();  // refilled, as a new load or a test fills it
    test::State().m_fileChunks[2].Commit(0);
    EXPECT_FALSE(TakePrescanned(test::State(), 2, "needle", out, 100));
}

}  // namespace
}  // namespace tarsel
