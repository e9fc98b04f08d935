// The population of senders and recipients of a generated archive.
#include "bench/archive_generator_people.h"

#include <cctype>
#include <cstdio>
#include <string_view>

#include "bench/archive_generator_ascii_words.h"

namespace tarsel::archive {
namespace {

std::string Capitalised(std::string_view word) {
    std::string out(word);
    if (!out.empty()) {
        out[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(out[0])));
    }
    return out;
}

}  // namespace

std::vector<Person> MakePopulation(const Vocabulary& words, SplitMix64& rng, std::size_t count) {
    std::vector<Person> people;
    people.reserve(count);
    for (std::size_t i = 0; i < count; ++i) {
        Person p;
        p.surname = &rng.Pick(words.surnames);
        p.given = &rng.Pick(words.givenNames);
        const std::string_view family = p.surname->romaji;
        const std::string_view first = p.given->romaji;
        std::string local;
        switch (rng.Weighted({35, 30, 20, 15})) {
            case 0:
                local = std::string(family);
                break;
            case 1:
                local = std::string(first) + "." + std::string(family);
                break;
            case 2:
                local = std::string(1, first[0]) + "-" + std::string(family);
                break;
            default:
                local = std::string(family) + std::string(1, first[0]);
                break;
        }
        p.address = local + "@" + std::string(rng.Pick(kDomains));
        p.latinName = Capitalised(first) + " " + Capitalised(family);
        p.company = rng.Below(words.companies.size());
        p.department = rng.Below(words.departments.size());
        char phone[32];
        std::snprintf(phone, sizeof phone, "0%d-%04d-%04d", static_cast<int>(rng.Between(3, 6)),
                      static_cast<int>(rng.Below(10000)), static_cast<int>(rng.Below(10000)));
        p.phone = phone;
        people.push_back(std::move(p));
    }
    return people;
}

}  // namespace tarsel::archive
