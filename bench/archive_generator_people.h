// The people who write to each other in a generated archive: a fixed population per seed, so
// that senders recur with the same name, address and signature, as in a real mailbox.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "bench/archive_generator_random.h"
#include "bench/archive_generator_vocabulary.h"

namespace tarsel::archive {

struct Person {
    const Name* surname;
    const Name* given;
    std::string address;    // yamada@example.co.jp
    std::string latinName;  // Taro Yamada
    std::size_t company;    // index into Vocabulary::companies
    std::size_t department;
    std::string phone;
};

std::vector<Person> MakePopulation(const Vocabulary& words, SplitMix64& rng, std::size_t count);

}  // namespace tarsel::archive
