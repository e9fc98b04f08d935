// One generated mail at a time: the mark, the header lines and the body, with the sender,
// recipients, time and topic drawn from the archive's random stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "bench/archive_generator.h"
#include "bench/archive_generator_people.h"
#include "bench/archive_generator_random.h"
#include "bench/archive_generator_vocabulary.h"

namespace tarsel::archive {

struct GeneratedMail {
    std::string head;  // from the mark to the empty line that ends the header, included
    std::string body;  // whole lines, each ending in CR LF
};

class MailComposer {
  public:
    // expectedMails spreads the mails' dates over about two years, however many there are.
    MailComposer(const ArchiveOptions& options, std::size_t expectedMails);

    GeneratedMail Next();

  private:
    std::string Mailbox(const Person& p);
    std::string DisplayName(const Person& p);
    std::string SubjectLines(bool reply, int list);
    std::string ReceivedLines(const Person& sender, const Person& recipient, std::int64_t sentAt);

    ArchiveOptions options_;
    const Vocabulary& words_;
    SplitMix64 rng_;
    std::vector<Person> people_;
    std::int64_t clock_;
    std::uint64_t maxStep_;
    std::vector<unsigned> listCounts_;
};

}  // namespace tarsel::archive
