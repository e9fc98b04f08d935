// Header lines and assembly of one generated mail.
#include "bench/archive_generator_mail.h"

#include <cctype>
#include <cstdio>

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

// Shares, in per cent of the mails, of the rarer ways of writing one. Each is small enough to
// leave the common shapes the bulk of an archive and large enough for a 100 MB archive (about
// 79000 mails) to hold thousands of it; only the bare CR and the missing body are rarer.
constexpr unsigned kLfPercent = 4;
constexpr unsigned kCrPercent = 1;
constexpr unsigned kRareDatePercent = 12;  // spread over four shapes
constexpr unsigned kTightSubjectPercent = 3;
constexpr unsigned kRecasedFieldPercent = 3;
constexpr unsigned kFieldWordSubjectPercent = 4;
constexpr unsigned kAdjacentWordsSubjectPercent = 3;
constexpr unsigned kNoteLinePercent = 4;
constexpr unsigned kLateSenderPercent = 3;
// Of the mails without keyword sentences (about one in eight), so that dropping the body never
// changes how many mails hold a keyword.
constexpr unsigned kNoBodyPercent = 2;

enum class SubjectShape { kUsual, kFieldWords, kAdjacentWords };
enum class NotePlace { kNone, kAfterReceived, kLast };
enum class LateSender { kNone, kReplyTo, kFrom };
enum class Field { kNone, kFrom, kSubject, kDate };

// How one mail departs from the usual shapes. It is drawn up front from the variant stream
// alone, so it never hangs on what the main stream makes of the mail.
struct Variant {
    std::string_view lineEnd;
    bool rareDate;
    bool tightSubject;  // "Subject:Hello"
    Field recased;
    bool upperCase;
    SubjectShape subject;
    NotePlace note;
    LateSender lateSender;
    bool noBody;
};

Variant DrawVariant(SplitMix64& rng, LineEnds style) {
    Variant v{};
    static constexpr std::string_view kEnds[] = {"\r\n", "\n", "\r"};
    // Drawn whatever the style, so that an archive of one style holds the mixed one's mails.
    const std::size_t mixed = rng.Weighted({100 - kLfPercent - kCrPercent, kLfPercent, kCrPercent});
    switch (style) {
        case LineEnds::kMixed:
            v.lineEnd = kEnds[mixed];
            break;
        case LineEnds::kCrLf:
            v.lineEnd = kEnds[0];
            break;
        case LineEnds::kLf:
            v.lineEnd = kEnds[1];
            break;
        case LineEnds::kCr:
            v.lineEnd = kEnds[2];
            break;
    }
    v.rareDate = rng.Percent(kRareDatePercent);
    v.tightSubject = rng.Percent(kTightSubjectPercent);
    v.recased =
        rng.Percent(kRecasedFieldPercent) ? static_cast<Field>(rng.Between(1, 3)) : Field::kNone;
    v.upperCase = rng.Percent(50);
    v.subject = static_cast<SubjectShape>(
        rng.Weighted({100 - kFieldWordSubjectPercent - kAdjacentWordsSubjectPercent,
                      kFieldWordSubjectPercent, kAdjacentWordsSubjectPercent}));
    v.note = rng.Percent(kNoteLinePercent) ? static_cast<NotePlace>(rng.Between(1, 2))
                                           : NotePlace::kNone;
    v.lateSender = rng.Percent(kLateSenderPercent) ? static_cast<LateSender>(rng.Between(1, 2))
                                                   : LateSender::kNone;
    v.noBody = rng.Percent(kNoBodyPercent);
    return v;
}

// The field name of a header line, up to its colon, in upper or lower case.
void RecaseName(std::string& line, bool upper) {
    for (char& c : line) {
        if (c == ':') {
            return;
        }
        const auto u = static_cast<unsigned char>(c);
        c = static_cast<char>(upper ? std::toupper(u) : std::tolower(u));
    }
}

// Gives CR LF text the line ends of `end`. Every CR and LF the composer writes belongs to a
// CR LF pair (Shift-JIS trail bytes start at 0x40), so dropping one byte of each pair is enough.
void UseLineEnds(std::string& text, std::string_view end) {
    if (end == "\n") {
        std::erase(text, '\r');
    } else if (end == "\r") {
        std::erase(text, '\n');
    }
}

}  // namespace

MailComposer::MailComposer(const ArchiveOptions& options, std::size_t expectedMails)
    : options_(options),
      words_(BuiltInVocabulary()),
      rng_(options.seed),
      variants_(SplitMix64(options.seed ^ 0x76617269616e7473ULL).Next()),
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

std::string MailComposer::DisplayName(const Person& p, SplitMix64& rng) {
    switch (rng.Weighted({60, 30, 10})) {
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
            return DisplayName(p, rng_) + " <" + p.address + ">";
        case 1:
            TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_BEGIN;  // GCC bug 105329, see the header
            return "\"" + DisplayName(p, rng_) + "\" <" + p.address + ">";
            TARSEL_GCC12_RESTRICT_FALSE_POSITIVE_END;
        case 2:
            return p.latinName + " <" + p.address + ">";
        case 3:
            return p.address + " (" + p.latinName + ")";
        default:
            return p.address;
    }
}

std::string MailComposer::SubjectPrefix(bool reply, int list) const {
    std::string prefix;
    if (list >= 0) {
        prefix +=
            Printf("[%s:%05u] ", std::string(kListNames[static_cast<std::size_t>(list)]).c_str(),
                   listCounts_[static_cast<std::size_t>(list)]);
    }
    if (reply) {
        prefix += "Re: ";
    }
    return prefix;
}

std::string MailComposer::SubjectLines(const std::string& prefix) {
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

std::string MailComposer::FieldWordSubjectLines(const std::string& prefix) {
    const std::string_view text = variants_.Pick(kFieldWordSubjects);
    std::vector<std::size_t> blanks;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == ' ') {
            blanks.push_back(i);
        }
    }
    if (blanks.empty() || variants_.Percent(60)) {
        return Concat({"Subject: ", prefix, text, "\r\n"});
    }
    // Folded at a blank: the blank starts the continuation line, or a tab stands for it.
    const std::size_t at = variants_.Pick(blanks);
    const bool tab = variants_.Percent(40);
    return Concat({"Subject: ", prefix, text.substr(0, at), tab ? "\r\n\t" : "\r\n",
                   text.substr(tab ? at + 1 : at), "\r\n"});
}

std::string MailComposer::AdjacentWordsSubjectLines(const std::string& prefix) {
    // Three encoded words in a row, as mailers that cut at the marks around a subject write
    // them; the blanks between them vanish when the subject is decoded.
    std::vector<std::string_view> pieces;
    pieces.push_back(variants_.Pick(words_.subjectPrefixes).jis);
    const std::string_view subject = variants_.Pick(words_.subjects).jis;
    if (subject.size() >= 4) {
        const std::size_t cut = 2 * variants_.Between(1, subject.size() / 2 - 1);
        pieces.push_back(subject.substr(0, cut));
        pieces.push_back(subject.substr(cut));
    } else {
        pieces.push_back(subject);
        pieces.push_back(variants_.Pick(words_.subjectSuffixes).jis);
    }
    const bool folded = variants_.Percent(30);
    return Concat({"Subject: ", prefix, EncodedWord(pieces[0]), " ", EncodedWord(pieces[1]),
                   folded ? "\r\n " : " ", EncodedWord(pieces[2]), "\r\n"});
}

std::string MailComposer::NoteLine(std::int64_t sentAt) {
    const std::size_t pick = variants_.Below(kFieldWordNotes.size() + 2);
    if (pick == 0) {
        const std::int64_t earlier =
            sentAt - static_cast<std::int64_t>(variants_.Between(3600, 30 * 86400));
        return "X-Original-Date: " + StampDate(ToCivil(earlier)) + "\r\n";
    }
    if (pick == 1) {
        return "Resent-From: " + variants_.Pick(people_).address + "\r\n";
    }
    return Concat({kFieldWordNotes[pick - 2], "\r\n"});
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
    const Variant variant = DrawVariant(variants_, options_.lineEnds);
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
    bool keywords = false;
    for (std::size_t k = 0; k < kKeywordCount; ++k) {
        body.keywordUses[k] = rng_.Percent(kKeywordPercent[k])
                                  ? static_cast<unsigned>(rng_.Weighted({60, 30, 10}) + 1)
                                  : 0;
        keywords = keywords || body.keywordUses[k] > 0;
    }

    // The lines whose place or shape a variant changes are built apart and put together below;
    // the main stream is drawn in the order the usual mail is written.
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
    std::string date;
    if (dateFirst) {
        date = "Date: " + DateHeaderValue(sent, rng_) + "\r\n";
    }
    std::string from = "From: " + Mailbox(sender) + "\r\n";
    std::string to;
    if (list >= 0) {
        to = Concat({"To: ", kListNames[static_cast<std::size_t>(list)], "@ml.example.org\r\n"});
    } else {
        to = "To: " + Mailbox(*recipient) + "\r\n";
    }
    if (rng_.Percent(15)) {
        to += "Cc: " + Mailbox(rng_.Pick(people_)) + "\r\n";
    }
    const std::string prefix = SubjectPrefix(reply, list);
    std::string subject = SubjectLines(prefix);
    if (!dateFirst) {
        date = "Date: " + DateHeaderValue(sent, rng_) + "\r\n";
    }
    const std::string domain(DomainOf(sender));
    std::string rest = Printf("Message-ID: <%04d%02d%02d%02d%02d%02d.%c%05u@%s>\r\n", sent.year,
                              sent.month, sent.day, sent.hour, sent.minute, sent.second,
                              'A' + static_cast<int>(rng_.Below(26)),
                              static_cast<unsigned>(rng_.Below(100000)), domain.c_str());
    if (reply && rng_.Percent(60)) {
        rest += Printf("In-Reply-To: <%04d%02d%02d.%05u@%s>\r\n", sent.year, sent.month, sent.day,
                       static_cast<unsigned>(rng_.Below(100000)),
                       std::string(DomainOf(*recipient)).c_str());
    }
    if (list >= 0) {
        unsigned& count = listCounts_[static_cast<std::size_t>(list)];
        rest += Concat({"X-ML-Name: ", kListNames[static_cast<std::size_t>(list)], "\r\n"});
        rest += Printf("X-Mail-Count: %05u\r\n", count++);
    }
    if (body.charset != BodyCharset::kJis || rng_.Percent(85)) {
        const char* charset = body.charset == BodyCharset::kJis        ? "ISO-2022-JP"
                              : body.charset == BodyCharset::kShiftJis ? "Shift_JIS"
                                                                       : "US-ASCII";
        rest += Printf("MIME-Version: 1.0\r\nContent-Type: text/plain; charset=%s\r\n", charset);
        rest += body.charset == BodyCharset::kShiftJis ? "Content-Transfer-Encoding: 8bit\r\n"
                                                       : "Content-Transfer-Encoding: 7bit\r\n";
    }
    if (rng_.Percent(70)) {
        rest += Concat({"X-Mailer: ", rng_.Pick(kMailers), "\r\n"});
    }
    std::string text = ComposeBody(body, words_, rng_);

    if (variant.rareDate) {
        date = "Date: " + RareDateHeaderValue(sent, variants_) + "\r\n";
    }
    if (variant.subject == SubjectShape::kFieldWords) {
        subject = FieldWordSubjectLines(prefix);
    } else if (variant.subject == SubjectShape::kAdjacentWords) {
        subject = AdjacentWordsSubjectLines(prefix);
    }
    if (variant.tightSubject) {
        subject.erase(subject.find(' '), 1);
    }
    std::string lateSender;
    if (variant.lateSender == LateSender::kReplyTo) {
        lateSender =
            "Reply-To: " + DisplayName(sender, variants_) + " <" + sender.address + ">\r\n";
    } else if (variant.lateSender == LateSender::kFrom) {
        from = "From: " + DisplayName(sender, variants_) + " <" + sender.address + ">\r\n";
    }
    switch (variant.recased) {
        case Field::kFrom:
            RecaseName(from, variant.upperCase);
            break;
        case Field::kSubject:
            RecaseName(subject, variant.upperCase);
            break;
        case Field::kDate:
            RecaseName(date, variant.upperCase);
            break;
        case Field::kNone:
            break;
    }
    const std::string note = variant.note == NotePlace::kNone ? "" : NoteLine(clock_);

    if (variant.note == NotePlace::kAfterReceived) {
        h += note;
    }
    if (dateFirst) {
        h += date;
    }
    if (variant.lateSender != LateSender::kFrom) {
        h += from;
    }
    h += to;
    h += subject;
    if (variant.lateSender == LateSender::kFrom) {
        h += from;
    }
    h += lateSender;
    if (!dateFirst) {
        h += date;
    }
    h += rest;
    if (variant.note == NotePlace::kLast) {
        h += note;
    }
    if (variant.noBody && !keywords) {
        text.clear();
    } else {
        h += "\r\n";
    }
    UseLineEnds(h, variant.lineEnd);
    UseLineEnds(text, variant.lineEnd);
    return GeneratedMail{std::move(h), std::move(text), variant.lineEnd};
}

}  // namespace tarsel::archive
