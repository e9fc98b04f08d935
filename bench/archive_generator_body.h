// The body of one generated mail: Japanese text in ISO-2022-JP or raw Shift-JIS, or English,
// with greeting, quoted lines, paragraphs, meeting notices and a signature. Every line ends in
// CR LF, and every Japanese run of an ISO-2022-JP line switches back before the line ends.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "bench/archive_generator_people.h"
#include "bench/archive_generator_random.h"
#include "bench/archive_generator_vocabulary.h"

namespace tarsel::archive {

enum class BodyCharset { kJis, kShiftJis, kAscii };

struct BodyRequest {
    BodyCharset charset = BodyCharset::kJis;
    bool romanReturn = false;           // leave Japanese runs with ESC ( J instead of ESC ( B
    const Person* sender = nullptr;     // never null
    const Person* recipient = nullptr;  // null: a mail to a group
    const Person* quoted = nullptr;     // null: nothing quoted
    std::int64_t sentAt = 0;            // seconds, as for ToCivil
    // How many sentences with each keyword the body holds (Japanese bodies only).
    std::array<unsigned, kKeywordCount> keywordUses{};
};

std::string ComposeBody(const BodyRequest& request, const Vocabulary& words, SplitMix64& rng);

}  // namespace tarsel::archive
