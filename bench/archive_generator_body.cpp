// Bodies of generated mails.
#include "bench/archive_generator_body.h"

#include <cstdio>
#include <string_view>
#include <vector>

#include "bench/archive_generator_ascii_words.h"
#include "bench/archive_generator_clock.h"
#include "bench/archive_generator_encoding.h"

namespace tarsel::archive {
namespace {

// Builds lines from ASCII and Japanese runs in the body's character set. Adjacent Japanese
// runs share one escape pair; a line never ends inside a two-byte segment.
class LineWriter {
  public:
    LineWriter(BodyCharset charset, bool romanReturn)
        : charset_(charset), return_(romanReturn ? kEscRoman : kEscAscii) {}

    void Ascii(std::string_view text) {
        FlushJis();
        out_ += text;
    }

    void Japanese(std::string_view jis, std::string_view sjis) {
        if (charset_ == BodyCharset::kJis) {
            pending_ += jis;
        } else {
            out_ += sjis;
        }
    }

    void Japanese(const JapaneseText& text) { Japanese(text.jis, text.sjis); }

    void EndLine() {
        FlushJis();
        out_ += "\r\n";
    }

    std::string Take() {
        FlushJis();
        return std::move(out_);
    }

  private:
    void FlushJis() {
        if (!pending_.empty()) {
            out_ += kEscJis;
            out_ += pending_;
            out_ += return_;
            pending_.clear();
        }
    }

    BodyCharset charset_;
    std::string_view return_;
    std::string out_;
    std::string pending_;
};

// Characters that Japanese typesetting keeps off the start of a line: 、。）」
bool NoLineStart(std::string_view sjisChar) {
    return sjisChar == "\x81\x41" || sjisChar == "\x81\x42" || sjisChar == "\x81\x6a" ||
           sjisChar == "\x81\x76";
}

// Writes the sentences as one paragraph wrapped at `width` characters, each line after `prefix`.
void WriteParagraph(LineWriter& w, const std::vector<const JapaneseText*>& sentences,
                    std::size_t width, std::string_view prefix) {
    JapaneseText all;
    for (const JapaneseText* s : sentences) {
        all.jis += s->jis;
        all.sjis += s->sjis;
    }
    std::size_t begin = 0;
    const std::size_t chars = all.Chars();
    while (begin < chars) {
        std::size_t end = begin + width < chars ? begin + width : chars;
        while (end < chars && NoLineStart(std::string_view(all.sjis).substr(end * 2, 2))) {
            ++end;
        }
        w.Ascii(prefix);
        w.Japanese(std::string_view(all.jis).substr(begin * 2, (end - begin) * 2),
                   std::string_view(all.sjis).substr(begin * 2, (end - begin) * 2));
        w.EndLine();
        begin = end;
    }
}

std::string Printf(const char* pattern, auto... args) {
    char buffer[128];
    const int n = std::snprintf(buffer, sizeof buffer, pattern, args...);
    return std::string(buffer, n > 0 ? static_cast<std::size_t>(n) : 0);
}

void WriteMeetingNotice(LineWriter& w, const BodyRequest& r, const Vocabulary& words,
                        SplitMix64& rng) {
    const CivilTime day = ToCivil(r.sentAt + static_cast<std::int64_t>(rng.Between(1, 14)) * 86400);
    const int hour = static_cast<int>(rng.Between(9, 16));
    w.Japanese(words.dateLabel);
    w.Ascii(Printf(" %d/%d", day.month, day.day));
    w.Japanese(words.weekdays[static_cast<std::size_t>(day.weekday)]);
    w.Ascii(Printf(" %d:00-%d:%02d", hour, hour + 1 + static_cast<int>(rng.Below(2)),
                   rng.Percent(50) ? 0 : 30));
    w.EndLine();
    w.Japanese(words.placeLabel);
    w.Japanese(rng.Pick(words.rooms));
    w.EndLine();
    w.Japanese(words.agendaLabel);
    w.EndLine();
    const std::size_t items = rng.Between(2, 4);
    const std::size_t first = rng.Below(words.agendaItems.size());
    for (std::size_t i = 0; i < items; ++i) {
        w.Ascii(Printf("  %d. ", static_cast<int>(i + 1)));
        w.Japanese(words.agendaItems[(first + i) % words.agendaItems.size()]);
        w.EndLine();
    }
    w.EndLine();
}

void WriteSignature(LineWriter& w, const Person& p, const Vocabulary& words) {
    w.Ascii("--");
    w.EndLine();
    w.Japanese(words.companies[p.company]);
    w.Japanese(words.wideSpace);
    w.Japanese(words.departments[p.department]);
    w.EndLine();
    w.Japanese(p.surname->kanji);
    w.Japanese(words.wideSpace);
    w.Japanese(p.given->kanji);
    w.EndLine();
    w.Ascii("E-mail: " + p.address);
    w.EndLine();
    w.Ascii("Tel: " + p.phone);
    w.EndLine();
}

std::string ComposeJapanese(const BodyRequest& r, const Vocabulary& words, SplitMix64& rng) {
    LineWriter w(r.charset, r.romanReturn);
    const std::size_t width = rng.Between(26, 36);

    if (r.recipient != nullptr) {
        w.Japanese(r.recipient->surname->kanji);
        w.Japanese(rng.Percent(70) ? words.san : words.sama);
    } else {
        w.Japanese(words.allConcerned);
    }
    w.EndLine();
    w.EndLine();
    w.Japanese(rng.Pick(words.greetings));
    w.Japanese(r.sender->surname->kanji);
    w.Japanese(words.desu);
    w.EndLine();
    w.EndLine();

    if (r.quoted != nullptr) {
        w.Ascii(r.quoted->address + " ");
        w.Japanese(words.wrote);
        w.EndLine();
        std::vector<const JapaneseText*> quote;
        for (std::size_t n = rng.Between(1, 3); n > 0; --n) {
            quote.push_back(&rng.Pick(words.sentences));
        }
        WriteParagraph(w, quote, width, "> ");
        w.EndLine();
    }

    std::vector<std::vector<const JapaneseText*>> paragraphs(rng.Between(1, 4));
    for (auto& paragraph : paragraphs) {
        for (std::size_t n = rng.Between(1, 3); n > 0; --n) {
            paragraph.push_back(&rng.Pick(words.sentences));
        }
    }
    for (std::size_t k = 0; k < kKeywordCount; ++k) {
        for (unsigned u = 0; u < r.keywordUses[k]; ++u) {
            auto& paragraph = paragraphs[rng.Below(paragraphs.size())];
            paragraph.insert(
                paragraph.begin() + static_cast<std::ptrdiff_t>(rng.Below(paragraph.size() + 1)),
                &rng.Pick(words.keywordSentences[k]));
        }
    }
    for (const auto& paragraph : paragraphs) {
        WriteParagraph(w, paragraph, width, "");
        w.EndLine();
    }

    if (r.keywordUses[kMeeting] > 0 && rng.Percent(40)) {
        WriteMeetingNotice(w, r, words, rng);
    }
    if (rng.Percent(20)) {
        w.Ascii(Printf("http://www.%s/docs/%04d.html", std::string(rng.Pick(kDomains)).c_str(),
                       static_cast<int>(rng.Below(10000))));
        w.EndLine();
        w.EndLine();
    }
    w.Japanese(rng.Pick(words.closings));
    w.EndLine();
    w.EndLine();
    WriteSignature(w, *r.sender, words);
    return w.Take();
}

std::string ComposeEnglish(const BodyRequest& r, SplitMix64& rng) {
    std::string out;
    if (r.recipient != nullptr) {
        out += "Hi " + r.recipient->latinName.substr(0, r.recipient->latinName.find(' ')) + ",\r\n";
    } else {
        out += "Hello all,\r\n";
    }
    out += "\r\n";
    for (std::size_t p = rng.Between(1, 3); p > 0; --p) {
        std::string line;
        for (std::size_t n = rng.Between(1, 4); n > 0; --n) {
            const std::string_view sentence = rng.Pick(kEnglishSentences);
            if (!line.empty() && line.size() + 1 + sentence.size() > 72) {
                out += line + "\r\n";
                line.clear();
            }
            if (!line.empty()) {
                line += ' ';
            }
            line += sentence;
        }
        out += line + "\r\n\r\n";
    }
    out += "Regards,\r\n" + r.sender->latinName + "\r\n";
    return out;
}

}  // namespace

std::string ComposeBody(const BodyRequest& request, const Vocabulary& words, SplitMix64& rng) {
    if (request.charset == BodyCharset::kAscii) {
        return ComposeEnglish(request, rng);
    }
    return ComposeJapanese(request, words, rng);
}

}  // namespace tarsel::archive
