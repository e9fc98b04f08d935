// Header lines and assembly of one generated mail.
#include "bench/archive_generator_mail.h"

#include <cstdio>
#include <string_view>

#include "bench/archive_generator_ascii_words.h"
#include "bench/archive_generator_body.h"
#include "bench/archive_generator_clock.h"
#include "bench/archive_generator_encoding.h"
#include "tests/support/gcc12_restrict.h"

namespace tarsel::archive {
namespace {

// Chance, in per cent, that a Japanese body holds sentences with each keyword.
constexpr std::array<unsigned, kKeywordCount> kKeywordPercent = {22, 50, 30, 38, 28};

constexpr std::size_t kPopulation = 60;
constexpr std::int64_t kSpanSeconds = 2LL * 365 * 86400;

std::string Printf(const char* pattern, auto... args) {
    char buffer[160];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, args...);
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

std::string Concat(std::initializer_list<std::string_view> parts) {
    std::string out;
    for (std::string_view part : parts) {
        out += part;
    }
    return out;
}

std::string_view DomainOf(const Person& p) {
    return std::string_view(p.address).substr(p.address.find('@') + 1);
}

}  // namespace

MailComposer::MailComposer(const ArchiveOptions& options, std::size_t expectedMails)
    : options_(options),
      words_(BuiltInVocabulary()),
      rng_(options.seed),
      people_(MakePopulation(words_, rng_, kPopulation)),
      clock_(SecondsAt(1998, 1, 1) + static_cast<std::int64_t>(rng_.Below(2 * 365)) * 86400 +
             static_cast<std::int64_t>(rng_.Below(86400))),
      maxStep_(static_cast<std::uint64_t>(2 * kSpanSeconds) /
                   (expectedMails > 0 ? expectedMails : 1) +
               120),
      listCounts_(kListNames.size()) {
    for (unsigned& count : listCounts_) {
        count = static_cast<unsigned>(rng_.Between(1, 3000));
    }
}

std::string MailComposer::DisplayName(const Person& p) {
    switch (rng_.Weighted({60, 30, 10})) {
        case 0:
            return EncodedWord(p.surname->kanji.jis + p.given->kanji.jis);
        case 1:
            return EncodedWord(p.surname->kanji.jis + words_.wideSpace.jis + p.given->kanji.jis);
        default:
            return EncodedWord(p.surname->kanji.jis);
    }
}

std::string MailComposer::Mailbox(const Person& p) {
    switch (rng_.Weighted({55, 8, 15, 7, 15})) {
        case 0:
            return DisplayName(p) + " <" + p.address + ">";
        case 1:
            TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
            return "\"" + DisplayName(p) + "\" <" + p.address + ">";
            TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
        case 2:
            return p.latinName + " <" + p.address + ">";
        case 3:
            return p.address + " (" + p.latinName + ")";
        default:
            return p.address;
    }
}

std::string MailComposer::SubjectLines(bool reply, int list) {
    std::string prefix;
    if (list >= 0) {
        prefix +=
            Printf("[%s:%05u] ", std::string(kListNames[static_cast<std::size_t>(list)]).c_str(),
                   listCounts_[static_cast<std::size_t>(list)]);
    }
    if (reply) {
        prefix += "Re: ";
    }
    switch (rng_.Weighted({60, 25, 15})) {
        case 0: {
            std::string jis = rng_.Pick(words_.subjects).jis;
            if (rng_.Percent(15)) {
                jis += rng_.Pick(words_.subjectSuffixes).jis;
            }
            return "Subject: " + prefix + EncodedWord(jis) + "\r\n";
        }
        case 1: {
            // Folded: every piece is an encoded word of its own on its own line. Mailers cut
            // long subjects into words at any character, or at the marks around them.
            std::vector<std::string_view> pieces;
            const std::string_view subject = rng_.Pick(words_.subjects).jis;
            const bool mark = rng_.Percent(50);
            if (mark) {
                pieces.push_back(rng_.Pick(words_.subjectPrefixes).jis);
            }
            if (subject.size() >= 8 && (!mark || rng_.Percent(50))) {
                const std::size_t cut = 2 * rng_.Between(1, subject.size() / 2 - 1);
                pieces.push_back(subject.substr(0, cut));
                pieces.push_back(subject.substr(cut));
            } else {
                pieces.push_back(subject);
            }
            if (pieces.size() < 3 && (pieces.size() < 2 || rng_.Percent(50))) {
                pieces.push_back(rng_.Pick(words_.subjectSuffixes).jis);
            }
            std::string lines = "Subject: " + prefix + EncodedWord(pieces[0]) + "\r\n";
            for (std::size_t i = 1; i < pieces.size(); ++i) {
                TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
                lines += (rng_.Percent(70) ? " " : "\t") + EncodedWord(pieces[i]) + "\r\n";
                TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
            }
            return lines;
        }
        default:
            return Concat({"Subject: ", prefix, rng_.Pick(kAsciiSubjects), "\r\n"});
    }
}

std::string MailComposer::ReceivedLines(const Person& sender, const Person& recipient,
                                        std::int64_t sentAt) {
    const std::size_t hops = rng_.Weighted({40, 40, 20}) + 1;
    std::vector<std::string> stamps;  // earliest hop first
    std::int64_t at = sentAt + static_cast<std::int64_t>(rng_.Below(30));
    for (std::size_t i = 0; i < hops; ++i) {
        stamps.push_back(StampDate(ToCivil(at)));
        at += static_cast<std::int64_t>(rng_.Below(120));
    }
    // The sender's relay, perhaps a provider's relay or two, then the recipient's host.
    std::vector<std::string> hosts;
    hosts.push_back(Concat({rng_.Pick(kHostPrefixes), ".", DomainOf(sender)}));
    for (std::size_t i = 1; i + 1 < hops; ++i) {
        hosts.push_back(Printf("relay%u.example.net", static_cast<unsigned>(rng_.Between(1, 9))));
    }
    if (hops > 1) {
        hosts.push_back(Concat({rng_.Pick(kHostPrefixes), ".", DomainOf(recipient)}));
    }
    const std::string client =
        Concat({"pc", std::to_string(rng_.Between(1, 99)), ".", DomainOf(sender)});
    std::string lines;
    // Each host puts its line on top, so the latest hop comes first.
    for (std::size_t i = hops; i-- > 0;) {
        const std::string id =
            Printf("%c%c%c%05u", 'A' + static_cast<int>(rng_.Below(26)),
                   'A' + static_cast<int>(rng_.Below(26)), 'A' + static_cast<int>(rng_.Below(26)),
                   static_cast<unsigned>(rng_.Below(100000)));
        const std::string agent(rng_.Pick(kTransferAgents));
        const std::string ip = Printf("%s%u", std::string(rng_.Pick(kAddressBlocks)).c_str(),
                                      static_cast<unsigned>(rng_.Between(1, 254)));
        const std::string& from = i == 0 ? client : hosts[i - 1];
        if (i == 0 && rng_.Percent(40)) {
            const std::string user = sender.address.substr(0, sender.address.find('@'));
            lines += Concat({"Received: (from ", user, "@localhost)\r\n\tby ", hosts[0], " (",
                             agent, ") id ", id, ";\r\n\t", stamps[i], "\r\n"});
        } else if (rng_.Percent(25)) {
            lines += Concat(
                {"Received: from [", ip, "] by ", hosts[i], " with SMTP; ", stamps[i], "\r\n"});
        } else {
            lines += Concat({"Received: from ", from, " (", from, " [", ip, "])\r\n\tby ", hosts[i],
                             " (", agent, ") with ESMTP id ", id, "\r\n\tfor <", recipient.address,
                             ">; ", stamps[i], "\r\n"});
        }
    }
    return lines;
}

GeneratedMail MailComposer::Next() {
    clock_ += static_cast<std::int64_t>(rng_.Between(60, maxStep_));
    const CivilTime sent = ToCivil(clock_);
    const Person& sender = rng_.Pick(people_);
    const Person* recipient = &rng_.Pick(people_);
    if (recipient == &sender) {
        recipient =
            &people_[(static_cast<std::size_t>(recipient - people_.data()) + 1) % people_.size()];
    }
    const int list = rng_.Percent(20) ? static_cast<int>(rng_.Below(kListNames.size())) : -1;
    const bool reply = rng_.Percent(30);

    BodyRequest body;
    body.charset = rng_.Percent(options_.shiftJisPercent)  ? BodyCharset::kShiftJis
                   : rng_.Percent(options_.englishPercent) ? BodyCharset::kAscii
                                                           : BodyCharset::kJis;
    body.romanReturn = rng_.Percent(5);
    body.sender = &sender;
    body.recipient = list >= 0 && rng_.Percent(60) ? nullptr : recipient;
    body.quoted = reply && rng_.Percent(50) ? recipient : nullptr;
    body.sentAt = clock_;
    for (std::size_t k = 0; k < kKeywordCount; ++k) {
        body.keywordUses[k] = rng_.Percent(kKeywordPercent[k])
                                  ? static_cast<unsigned>(rng_.Weighted({60, 30, 10}) + 1)
                                  : 0;
    }

    std::string h = "\x7f\x20\x7f";
    switch (rng_.Weighted({60, 25, 15})) {
        case 0:
            h += "Return-Path: <" + sender.address + ">\r\n";
            break;
        case 1:
            h += "From " + sender.address + " " + SeparatorDate(sent) + "\r\n";
            if (rng_.Percent(50)) {
                h += "Return-Path: <" + sender.address + ">\r\n";
            }
            break;
        default:
            break;  // the newest Received line comes first
    }
    h += ReceivedLines(sender, *recipient, clock_);
    const bool dateFirst = rng_.Percent(40);
    if (dateFirst) {
        h += "Date: " + DateHeaderValue(sent, rng_) + "\r\n";
    }
    h += "From: " + Mailbox(sender) + "\r\n";
    if (list >= 0) {
        h += Concat({"To: ", kListNames[static_cast<std::size_t>(list)], "@ml.example.org\r\n"});
    } else {
        h += "To: " + Mailbox(*recipient) + "\r\n";
    }
    if (rng_.Percent(15)) {
        h += "Cc: " + Mailbox(rng_.Pick(people_)) + "\r\n";
    }
    h += SubjectLines(reply, list);
    if (!dateFirst) {
        h += "Date: " + DateHeaderValue(sent, rng_) + "\r\n";
    }
    const std::string domain(DomainOf(sender));
    h += Printf("Message-ID: <%04d%02d%02d%02d%02d%02d.%c%05u@%s>\r\n", sent.year, sent.month,
                sent.day, sent.hour, sent.minute, sent.second,
                'A' + static_cast<int>(rng_.Below(26)), static_cast<unsigned>(rng_.Below(100000)),
                domain.c_str());
    if (reply && rng_.Percent(60)) {
        h += Printf("In-Reply-To: <%04d%02d%02d.%05u@%s>\r\n", sent.year, sent.month, sent.day,
                    static_cast<unsigned>(rng_.Below(100000)),
                    std::string(DomainOf(*recipient)).c_str());
    }
    if (list >= 0) {
        unsigned& count = listCounts_[static_cast<std::size_t>(list)];
        h += Concat({"X-ML-Name: ", kListNames[static_cast<std::size_t>(list)], "\r\n"});
        h += Printf("X-Mail-Count: %05u\r\n", count++);
    }
    if (body.charset != BodyCharset::kJis || rng_.Percent(85)) {
        const char* charset = body.charset == BodyCharset::kJis        ? "ISO-2022-JP"
                              : body.charset == BodyCharset::kShiftJis ? "Shift_JIS"
                                                                       : "US-ASCII";
        h += Printf("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=%s\r\n", charset);
        h += body.charset == BodyCharset::kShiftJis ? "Content-Transfer-Encoding: 8bit\r\n"
                                                    : "Content-Transfer-Encoding: 7bit\r\n";
    }
    if (rng_.Percent(70)) {
        h += Concat({"X-Mailer: ", rng_.Pick(kMailers), "\r\n"});
    }
    h += "\r\n";
    return GeneratedMail{std::move(h), ComposeBody(body, words_, rng_)};
}

}  // namespace tarsel::archive
