// The decoded search's queries over one mail. Each word is counted in the fields it may stand
// in: the decoded Subject and From, and the body's shown parts (each part on its own, so that
// no occurrence spans two). Texts are folded as the words are, unless the query is exact.
#include "mime/query_search.h"

#include <algorithm>
#include <cstring>
#include <iterator>

#include "decode/jis.h"
#include "decode/utf8.h"
#include "headers/date_normalizer.h"
#include "mime/header_fields.h"
#include "mime/header_text.h"
#include "mime/text_util.h"

namespace tarsel::mime {

struct QueryMatcher::Word {
    const query::Term* term;
    std::size_t clause;
    bool subject, from, body;
    bool positive;
    bool ascii;                             // its compared form is all ASCII
    std::unique_ptr<DecodedNeedle> needle;  // exact queries: the byte filters of the word
    // Folded queries: characters of the word, each as every character that folds into it is
    // written, in UTF-8, CP932, EUC-JP and as ISO-2022-JP pairs; a part of one of those holds
    // the word only if its bytes hold a form of each. Empty where no character of the word
    // serves.
    std::vector<std::vector<std::string>> keyForms[4];
    // Folded queries of ideographs and kana: the characters other than the word's own that
    // fold into one of its characters, in UTF-8. A UTF-8 part with none of them and no mark
    // that folding drops or composes holds the word exactly where its bytes do.
    bool countsInBytes = false;
    std::vector<std::string> intruders;
    bool kana = false;  // holds kana, which the voicing marks compose with
};

namespace {

bool IsAscii(std::string_view text) {
    return !HasEightBitByte(text);
}

bool HoldsNoCase(std::string_view bytes, std::string_view lowerWord) {
    if (lowerWord.size() > bytes.size()) {
        return false;
    }
    for (std::size_t at = 0; at + lowerWord.size() <= bytes.size(); ++at) {
        if (LowerAscii(bytes[at]) == lowerWord[0] &&
            EqualsNoCase(bytes.substr(at, lowerWord.size()), lowerWord)) {
            return true;
        }
    }
    return false;
}

constexpr std::size_t kMostKeyForms = 16;  // more would cost more than they save
constexpr std::size_t kMostKeys = 4;
using Key = std::vector<std::string>;  // the forms of one character

// Which of Word::keyForms a charset reads, or -1.
int KeyFormsIndex(Charset charset) {
    switch (charset) {
        case Charset::kUtf8:
            return 0;
        case Charset::kCp932:
            return 1;
        case Charset::kEucJp:
            return 2;
        case Charset::kJis:
            return 3;
        default:
            return -1;
    }
}

// Adds the bytes by which ISO-2022-JP text writes a character of this CP932 form: an ASCII
// byte as itself, a double-byte character as the pair the reader turns back into it. False
// for a form with a twin code or no pair, which the text may hold by other bytes. A
// single-byte kana has no form to add: only bytes that JisPairsAlone refuses write it.
bool AddJisForm(std::string_view sjis, Key& forms) {
    if (sjis.size() == 1) {
        if (static_cast<unsigned char>(sjis[0]) < 0x80) {
            forms.emplace_back(sjis);
        }
        return true;
    }
    if (sjis.size() != 2 || HasTwinCode(sjis)) {
        return false;
    }
    const unsigned code =
        static_cast<unsigned char>(sjis[0]) << 8 | static_cast<unsigned char>(sjis[1]);
    const unsigned jis = SjisToJis(code);
    if (jis == 0 || JisToSjis(jis) != code) {
        return false;
    }
    forms.push_back({static_cast<char>(jis >> 8), static_cast<char>(jis & 0xFF)});
    return true;
}

// Whether the ISO-2022-JP reader writes every character of text from a pair in two-byte mode
// or a byte in single-byte mode: no 8-bit byte (read as CP932) and no switch to kana.
bool JisPairsAlone(std::string_view bytes) {
    return !HasEightBitByte(bytes) && FindBytes(bytes, "\x1b(I") == std::string_view::npos;
}

// Keys of the word: the forms of its characters (up to kMostKeys of them, each with few
// characters that fold into it), in each charset that writes all of a key's forms plainly.
void ChooseKeyForms(std::string_view folded, const query::FoldOptions& options,
                    std::vector<Key> (&keys)[4]) {
    std::vector<std::uint32_t> characters;
    std::vector<char32_t> taken;
    std::string utf8, sjis, euc;
    for (std::size_t at = 0; at < folded.size() && taken.size() < kMostKeys;) {
        const std::size_t n = std::max<std::size_t>(1, Utf8Length(folded.substr(at)));
        const char32_t c = FirstCodePoint(folded.substr(at, n));
        at += n;
        // A blank may stand for a NUL, U+FFFD for any invalid byte.
        if (c == ' ' || c == 0xFFFD || c == 0 ||
            std::find(taken.begin(), taken.end(), c) != taken.end() ||
            !query::CharactersFoldingInto(c, options, characters) ||
            characters.size() > kMostKeyForms) {
            continue;
        }
        taken.push_back(c);
        Key inUtf8, inSjis, inEuc, inJis;
        bool sjisServes = true, eucServes = true, jisServes = true;
        for (const std::uint32_t other : characters) {
            utf8.clear();
            AppendUtf8CodePoint(other, utf8);
            inUtf8.push_back(utf8);
            const bool hasSjis = EncodeCharacter(utf8, "CP932", sjis);
            if (hasSjis) {
                sjisServes &= !HasTwinCode(sjis);
                inSjis.push_back(sjis);
                jisServes &= AddJisForm(sjis, inJis);
            }
            if (EncodeCharacter(utf8, "EUC-JP-MS", euc)) {
                eucServes &= hasSjis && !HasTwinCode(sjis);
                inEuc.push_back(euc);
            }
        }
        keys[0].push_back(std::move(inUtf8));
        if (sjisServes) {
            keys[1].push_back(std::move(inSjis));
        }
        if (eucServes) {
            keys[2].push_back(std::move(inEuc));
        }
        if (jisServes) {
            keys[3].push_back(std::move(inJis));
        }
    }
}

// Whether the UTF-8 bytes of a part count the word as its folded text does (see
// Word::countsInBytes): the marks are looked for by their bytes (U+0300-U+037F; the voicing
// marks, with kana).
bool BytesCountWord(std::string_view bytes, const std::vector<std::string>& intruders, bool kana) {
    if (std::memchr(bytes.data(), 0xCC, bytes.size()) != nullptr ||
        std::memchr(bytes.data(), 0xCD, bytes.size()) != nullptr) {
        return false;
    }
    if (kana) {
        for (const std::string_view mark :
             {"\xE3\x82\x99", "\xE3\x82\x9A", "\xEF\xBE\x9E", "\xEF\xBE\x9F"}) {
            if (FindBytes(bytes, mark) != std::string_view::npos) {
                return false;
            }
        }
    }
    return std::none_of(intruders.begin(), intruders.end(), [&](const std::string& intruder) {
        return FindBytes(bytes, intruder) != std::string_view::npos;
    });
}

// Sets Word::countsInBytes and Word::intruders for a folded word.
void FindIntruders(std::string_view folded, const query::FoldOptions& options, bool& countsInBytes,
                   std::vector<std::string>& intruders) {
    countsInBytes = false;
    if (folded.empty() || !query::FoldsToItself(folded, options)) {
        return;
    }
    std::vector<std::uint32_t> characters;
    std::vector<char32_t> own;
    for (std::size_t at = 0; at < folded.size();) {
        const std::size_t n = std::max<std::size_t>(1, Utf8Length(folded.substr(at)));
        own.push_back(FirstCodePoint(folded.substr(at, n)));
        at += n;
    }
    std::string utf8;
    for (const char32_t c : own) {
        // Ideographs and kana only: no case, and (kana aside) nothing composes with them.
        const bool ideograph = (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF);
        const bool kana = c >= 0x3041 && c <= 0x30FF;
        if ((!ideograph && !kana) || !query::CharactersFoldingInto(c, options, characters)) {
            intruders.clear();
            return;
        }
        for (const std::uint32_t other : characters) {
            if (std::find(own.begin(), own.end(), other) == own.end()) {
                utf8.clear();
                AppendUtf8CodePoint(other, utf8);
                intruders.push_back(utf8);
            }
        }
    }
    countsInBytes = intruders.size() <= kMostKeyForms * 2;
    if (!countsInBytes) {
        intruders.clear();
    }
}

}  // namespace

// Counts every word in each part and line of the body, so that the alternatives not chosen can
// be taken back out: a unit is one entry per word.
class QueryMatcher::Visitor : public PartVisitor {
  public:
    Visitor(const QueryMatcher& matcher, std::vector<std::size_t>& counts)
        : matcher_(matcher), words_(matcher.words_.size()), counts_(counts) {
        counts_.clear();
    }
    void Visit(const TextPart& part) override {
        const std::size_t unit = counts_.size();
        counts_.resize(unit + words_, 0);
        if (!MayHoldAny(part)) {
            return;
        }
        // Most UTF-8 parts are shown as their bytes stand: when no character in them folds
        // into a word's characters, or when they fold to themselves, their bytes count the
        // words, with no copy.
        if (!matcher_.query_.exact && !part.html && part.charset == Charset::kUtf8 &&
            (InBytes(part.bytes) || query::FoldsToItself(part.bytes, matcher_.query_.folding))) {
            CountFolded(part.bytes, unit);
            return;
        }
        thread_local std::string text;
        text.clear();
        AppendPartText(part, text);
        Count(text, unit);
    }
    void VisitLine(std::string_view utf8) override {
        const std::size_t unit = counts_.size();
        counts_.resize(unit + words_, 0);
        Count(utf8, unit);
    }
    bool Searching() const override { return true; }
    std::size_t Mark() const override { return counts_.size(); }
    bool Holds(std::size_t from, std::size_t to) const override {
        for (std::size_t i = from; i < to; ++i) {
            const Word& word = matcher_.words_[i % words_];
            if (counts_[i] > 0 && word.positive && word.body) {
                return true;
            }
        }
        return false;
    }
    void KeepOnly(std::size_t from, std::size_t keepFrom, std::size_t keepTo) override {
        KeepOnlyOf(counts_, from, keepFrom, keepTo);
    }

  private:
    // False when the part's bytes show that no body word can stand in its text.
    bool MayHoldAny(const TextPart& part) const {
        const std::vector<Word>& words = matcher_.words_;
        if (matcher_.query_.exact) {
            return std::any_of(words.begin(), words.end(), [&](const Word& word) {
                return word.body && word.needle->MayStandIn(part);
            });
        }
        // Markup may stand between the characters of a page, and a reference for any of them.
        const bool references = part.html && FindBytes(part.bytes, "&") != std::string_view::npos;
        const int forms = references ? -1 : KeyFormsIndex(part.charset);
        // Text of ASCII bytes alone folds to those bytes in lower case: it holds no word that
        // folds to more than ASCII, and a plain part only the words its bytes hold.
        const bool ascii = !references &&
                           AsciiBytesStandForThemselves(part.charset, part.charsetName) &&
                           IsAscii(part.bytes);
        return std::any_of(words.begin(), words.end(), [&](const Word& word) {
            if (!word.body) {
                return false;
            }
            if (ascii) {
                return word.ascii && (part.html || HoldsNoCase(part.bytes, word.term->folded));
            }
            if (forms < 0 || word.keyForms[forms].empty() ||
                (forms == KeyFormsIndex(Charset::kJis) && !JisPairsAlone(part.bytes))) {
                return true;
            }
            const std::vector<Key>& keys = word.keyForms[forms];
            return std::all_of(keys.begin(), keys.end(), [&](const Key& key) {
                return std::any_of(key.begin(), key.end(), [&](const std::string& form) {
                    return FindBytes(part.bytes, form) != std::string_view::npos;
                });
            });
        });
    }
    bool InBytes(std::string_view bytes) const {
        return matcher_.CountsInBytes(bytes, &Word::body);
    }
    void Count(std::string_view utf8, std::size_t unit) {
        thread_local std::string folded;
        CountFolded(matcher_.Compared(utf8, &Word::body, folded), unit);
    }
    void CountFolded(std::string_view text, std::size_t unit) {
        for (std::size_t w = 0; w < words_; ++w) {
            if (matcher_.words_[w].body) {
                counts_[unit + w] = CountOccurrences(text, matcher_.words_[w].term->folded);
            }
        }
    }

    const QueryMatcher& matcher_;
    const std::size_t words_;
    std::vector<std::size_t>& counts_;
};

QueryMatcher::QueryMatcher(query::Query query) : query_(std::move(query)) {
    for (std::size_t c = 0; c < query_.clauses.size(); ++c) {
        for (const query::Term& term : query_.clauses[c]) {
            if (term.field == query::Field::kDate) {
                continue;
            }
            Word word{&term,
                      c,
                      term.field == query::Field::kAny || term.field == query::Field::kSubject,
                      term.field == query::Field::kAny || term.field == query::Field::kFrom,
                      term.field == query::Field::kAny || term.field == query::Field::kBody,
                      !term.excluded,
                      IsAscii(term.folded),
                      query_.exact ? std::make_unique<DecodedNeedle>(term.folded) : nullptr,
                      {},
                      false,
                      {}};
            if (!query_.exact) {
                ChooseKeyForms(term.folded, query_.folding, word.keyForms);
                FindIntruders(term.folded, query_.folding, word.countsInBytes, word.intruders);
                word.kana = std::any_of(word.term->folded.begin(), word.term->folded.end(),
                                        [](char c) { return c == '\xE3'; });
            }
            anySubject_ |= word.subject;
            anyFrom_ |= word.from;
            anyBody_ |= word.body;
            words_.push_back(std::move(word));
        }
    }
}

QueryMatcher::~QueryMatcher() = default;

bool QueryMatcher::CountsInBytes(std::string_view utf8, bool Word::*inField) const {
    return std::all_of(words_.begin(), words_.end(), [&](const Word& word) {
        return !(word.*inField) ||
               (word.countsInBytes && BytesCountWord(utf8, word.intruders, word.kana));
    });
}

std::string_view QueryMatcher::Compared(std::string_view utf8, bool Word::*inField,
                                        std::string& scratch) const {
    if (query_.exact || CountsInBytes(utf8, inField)) {
        return utf8;
    }
    return query::FoldedView(utf8, query_.folding, scratch);
}

void QueryMatcher::CountIn(std::string_view utf8, bool Word::*inField,
                           std::vector<std::size_t>& counts) const {
    thread_local std::string folded;
    const std::string_view text = Compared(utf8, inField, folded);
    for (std::size_t w = 0; w < words_.size(); ++w) {
        if (words_[w].*inField) {
            counts[w] += CountOccurrences(text, words_[w].term->folded);
        }
    }
}

QueryMatcher::Verdict QueryMatcher::Match(std::string_view mail) const {
    thread_local std::string withLineFeeds;
    mail = WithLineFeeds(mail, withLineFeeds);
    const std::string_view headers = SplitEntity(mail).headers;
    thread_local std::vector<std::size_t> counts;
    counts.assign(words_.size(), 0);
    thread_local std::string text;
    std::string_view value;
    constexpr std::string_view kNames[] = {"Subject", "From"};
    FoundField fields[std::size(kNames)];
    if (anySubject_ || anyFrom_) {
        FindFields(headers, kNames, std::size(kNames), fields);
    }
    if (anySubject_ && fields[0].found) {
        text.clear();
        AppendHeaderText(fields[0].value, text);
        CountIn(text, &Word::subject, counts);
    }
    if (anyFrom_ && fields[1].found) {
        text.clear();
        AppendHeaderText(fields[1].value, text);
        CountIn(text, &Word::from, counts);
    }
    if (anyBody_) {
        thread_local std::vector<std::size_t> units;
        Visitor visitor(*this, units);
        WalkMail(mail, visitor);
        for (std::size_t i = 0; i < units.size(); ++i) {
            counts[i % words_.size()] += units[i];
        }
    }
    int day = -1;  // read only when a date term asks
    Verdict verdict;
    verdict.matches = true;
    std::size_t w = 0;
    for (const std::vector<query::Term>& clause : query_.clauses) {
        bool holds = false;
        for (const query::Term& term : clause) {
            bool present = false;
            if (term.field == query::Field::kDate) {
                if (day < 0) {
                    day = FindField(headers, "Date", value) ? MailDay(value) : 0;
                }
                present = day != 0 && day >= term.firstDay && day <= term.lastDay;
            } else {
                present = counts[w++] > 0;
            }
            holds |= present != term.excluded;
        }
        verdict.matches &= holds;
    }
    if (verdict.matches) {
        for (std::size_t i = 0; i < words_.size(); ++i) {
            verdict.hits += words_[i].positive ? counts[i] : 0;
        }
    }
    return verdict;
}

bool QueryMatcher::BodyHolds(std::string_view utf8) const {
    std::string folded;
    const std::string_view text = Compared(utf8, &Word::body, folded);
    return std::any_of(words_.begin(), words_.end(), [&](const Word& word) {
        return word.positive && word.body &&
               FindBytes(text, word.term->folded) != std::string_view::npos;
    });
}

void QueryMatcher::MarkBodyWords(std::string_view utf8, std::vector<Run>& runs) const {
    runs.clear();
    std::string folded;
    std::vector<query::Span> spans;
    if (!query_.exact) {
        query::AppendFolded(utf8, query_.folding, folded, &spans);
    }
    const std::string_view text = query_.exact ? utf8 : std::string_view(folded);
    for (const Word& word : words_) {
        if (!word.positive || !word.body) {
            continue;
        }
        // Left to right without overlap, as a reader's find marks them.
        const std::string_view needle = word.term->folded;
        for (std::size_t at = FindBytes(text, needle); at != std::string_view::npos;
             at = FindBytes(text, needle, at + needle.size())) {
            if (query_.exact) {
                runs.push_back({at, needle.size()});
            } else {
                const std::size_t begin = spans[at].begin;
                runs.push_back({begin, spans[at + needle.size() - 1].end - begin});
            }
        }
    }
    std::sort(runs.begin(), runs.end(),
              [](const Run& a, const Run& b) { return a.offset < b.offset; });
    std::size_t kept = 0;
    for (const Run& run : runs) {
        if (kept > 0 && run.offset < runs[kept - 1].offset + runs[kept - 1].length) {
            Run& last = runs[kept - 1];
            last.length =
                std::max(last.offset + last.length, run.offset + run.length) - last.offset;
        } else {
            runs[kept++] = run;
        }
    }
    runs.resize(kept);
}

}  // namespace tarsel::mime
