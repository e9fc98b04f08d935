// One generated mail at a time: the mark, the header lines and the body, with the sender,
// recipients, time and topic drawn from the archive's random stream, and the rarer ways of
// writing the mail from a second stream.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "bench/archive_generator.h"
#include "bench/archive_generator_people.h"
#include "bench/archive_generator_random.h"
#include "bench/archive_generator_vocabulary.h"

namespace tarsel::archive {

struct GeneratedMail {
    // From the mark to the empty line that ends the header, included; a mail without a body
    // has no empty line.
    std::string head;
    std::string body;          // whole lines, each ending in lineEnd
    std::string_view lineEnd;  // "\r\n", "\n" or "\r", the same on every line of the mail
};

class MailComposer {
  public:
    // expectedMails spreads the mails' dates over about two years, however many there are.
    MailComposer(const ArchiveOptions& options, std::size_t expectedMails);

    GeneratedMail Next();

  private:
    std::string Mailbox(const Person& p);
    std::string DisplayName(const Person& p, SplitMix64& rng);
    std::string SubjectPrefix(bool reply, int list) const;
    std::string SubjectLines(const std::string& prefix);
    std::string FieldWordSubjectLines(const std::string& prefix);
    std::string AdjacentWordsSubjectLines(const std::string& prefix);
    std::string NoteLine(std::int64_t sentAt);
    std::string ReceivedLines(const Person& sender, const Person& recipient, std::int64_t sentAt);

    ArchiveOptions options_;
    const Vocabulary& words_;
    SplitMix64 rng_;
    // The rarer ways of writing a mail draw only from here, so that adding one leaves every
    // draw of rng_, and with it each mail's people, dates and body, where it was.
    SplitMix64 variants_;
    std::vector<Person> people_;
    std::int64_t clock_;
    std::uint64_t maxStep_;
    std::vector<unsigned> listCounts_;
};

}  // namespace tarsel::archive
