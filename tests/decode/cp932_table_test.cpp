// The table conversion gives what the converter gives, byte for byte.
#include "decode/cp932_table.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <thread>
#include <vector>

#include "decode/cp932.h"
#include "decode/safe_text.h"

namespace tarsel {
namespace {

TEST(Cp932TableTest, AgreesWithTheConverter) {
    std::vector<std::string> inputs;
    for (int a = 0; a < 256; ++a) {
        inputs.push_back(std::string(1, static_cast<char>(a)));
        for (int b = 0; b < 256; ++b) {
            inputs.push_back({static_cast<char>(a), static_cast<char>(b)});
        }
    }
    // Longer texts catch a wrong step after a pair or a lead read alone.
    std::mt19937 random(932);
    const char lead = '\x82';
    for (int round = 0; round < 20000; ++round) {
        std::string text(random() % 12, '\0');
        for (char& c : text) {
            c = random() % 3 == 0 ? lead : static_cast<char>(random() % 256);
        }
        inputs.push_back(text);
    }
    // ASCII runs of sixteen and more are copied a block at a time, cut off by leads anywhere.
    for (int round = 0; round < 5000; ++round) {
        std::string text(random() % 80, '\0');
        for (char& c : text) {
            c = random() % 16 == 0 ? lead : static_cast<char>(random() % 128);
        }
        inputs.push_back(text);
    }
    // Printable text with a rare byte to escape, at any place of a block of eight or sixteen.
    const std::string rare = std::string("\"\\\x7f\x01\x1f", 5) + "\x81\x98";  // 0x8198: U+00A7
    for (int round = 0; round < 5000; ++round) {
        std::string text(random() % 40, '\0');
        for (char& c : text) {
            c = random() % 30 == 0 ? rare[random() % rare.size()]
                                   : static_cast<char>(0x20 + random() % 0x5F);
        }
        inputs.push_back(text);
    }
    const Cp932Table& table = Cp932Table::Get();
    for (const std::string& input : inputs) {
        const std::string converted = Cp932ToUtf8(input);
        ASSERT_EQ(Cp932ToUtf8Fast(input), converted) << testing::PrintToString(input);
        // Written plain exactly when the escaping would leave the converted text as it is.
        for (const bool json : {false, true}) {
            std::string room(Cp932Table::RoomFor(input.size()), '\0');
            const char* const end = table.WriteUtf8Plain(input, room.data(), json);
            ASSERT_EQ(end != nullptr, NothingToEscape(converted, json))
                << testing::PrintToString(input) << " json " << json;
            if (end != nullptr) {
                ASSERT_EQ(std::string_view(room.data(), end - room.data()), converted);
            }
        }
    }
}

// Rows of pairs are filled when a text first needs them; threads that need the same rows at
// once must all read them whole (the sanitizer build watches the publication).
TEST(Cp932TableTest, FillsRowsForManyThreadsAtOnce) {
    std::vector<std::thread> threads;
    std::vector<int> wrong(4, 0);
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([t, &wrong] {
            for (int i = 0; i < 256; ++i) {
                const int lead = t % 2 == 0 ? i : 255 - i;
                std::string text;
                for (int trail = 0x40; trail < 0x100; ++trail) {
                    text += {static_cast<char>(lead), static_cast<char>(trail)};
                }
                wrong[static_cast<std::size_t>(t)] += Cp932ToUtf8Fast(text) != Cp932ToUtf8(text);
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(wrong, std::vector<int>(4, 0));
}

}  // namespace
}  // namespace tarsel
