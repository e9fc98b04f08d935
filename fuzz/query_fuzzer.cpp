// Folded queries on single mails. The first input byte picks the check:
// - folding itself: the copied runs, the character-by-character fold with its spans and the
//   in-place view give the same text, and the spans stay within the text, in order;
// - a query of words (AND) made of letters that fold into each other, on a mail whose text
//   part is written in a charset from the same letters and stray bytes: the matcher, with
//   its byte filters, counts what a plain count in the folded texts of the whole mail gives,
//   so a filter never hides an occurrence.
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mime/query_search.h"
#include "mime/text_util.h"
#include "query/text_folding.h"

namespace {

using namespace tarsel;

// Letters that fold into each other (width, case, voicing marks, the wave dash, kana, accents),
// and some that do not.
constexpr const char* kLetters[] = {"a",  "A",  "ａ", "Ａ", "ｶ",        "ﾞ",     "ガ",  "カ",  "か",
                                    "〜", "～", "~",  "é",  "\xCC\x81", "e",     "議",  "①",   "1",
                                    " ",  "ß",  "ss", "ﬁ",  "\n",       "&amp;", "<b>", "\xFF"};
constexpr std::size_t kLetterCount = sizeof kLetters / sizeof kLetters[0];

std::string Letters(fuzz::FuzzInput& input, std::size_t count) {
    std::string text;
    for (std::size_t i = 0; i < count; ++i) {
        text += kLetters[input.TakeByte() % kLetterCount];
    }
    return text;
}

bool Encode(const std::string& utf8, const char* charset, std::string& out) {
    iconv_t cd = iconv_open(charset, "UTF-8");
    if (cd == reinterpret_cast<iconv_t>(-1)) {
        return false;
    }
    std::string buffer(utf8.size() * 4 + 16, '\0');
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* o = buffer.data();
    std::size_t outLeft = buffer.size();
    const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1) &&
                    iconv(cd, nullptr, nullptr, &o, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    out.assign(buffer.data(), static_cast<std::size_t>(o - buffer.data()));
    return ok;
}

void CheckFolding(fuzz::FuzzInput& input) {
    const bool kana = input.TakeByte() % 2 == 0;
    const std::string text = input.TakeByte() % 2 == 0 ? input.TakeRest() : Letters(input, 64);
    const query::FoldOptions options{kana};
    const std::string folded = query::Folded(text, options);
    std::string scratch, withSpans;
    std::vector<query::Span> spans;
    query::AppendFolded(text, options, withSpans, &spans);
    fuzz::Check(query::FoldedView(text, options, scratch) == folded, "the view is the fold");
    fuzz::Check(withSpans == folded && spans.size() == folded.size(),
                "the fold with spans is the fold");
    for (std::size_t i = 0; i < spans.size(); ++i) {
        fuzz::Check(spans[i].begin < spans[i].end && spans[i].end <= text.size() &&
                        (i == 0 || spans[i].begin >= spans[i - 1].begin),
                    "spans lie in the text, in order");
    }
}

void CheckFiltersHideNothing(fuzz::FuzzInput& input) {
    static const char* const kCharsets[] = {"utf-8", "shift_jis", "euc-jp", "iso-2022-jp",
                                            "us-ascii"};
    static const char* const kIconv[] = {"UTF-8", "CP932", "EUC-JP-MS", "ISO-2022-JP", "ASCII"};
    const int charset = input.TakeByte() % 5;
    const bool html = input.TakeByte() % 4 == 0;
    const bool kana = input.TakeByte() % 2 == 0;
    std::string words;
    for (int w = 1 + input.TakeByte() % 2; w > 0; --w) {
        std::string word = Letters(input, 1 + input.TakeByte() % 3);
        for (char& c : word) {
            c = c == ' ' || c == '\n' || c == '"' ? 'a' : c;  // a word, not a separator
        }
        words += (words.empty() ? "\"" : " \"") + word + "\"";
    }
    query::Query parsed;
    std::string badDate;
    if (!query::ParseQuery(words, false, {kana}, parsed, badDate) || !parsed.HasPositiveWord()) {
        return;
    }
    // Letters in the charset where they have a form there; the others as stray bytes.
    std::string body, letter;
    for (const char c : input.TakeRest()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0xE0 && Encode(kLetters[byte % kLetterCount], kIconv[charset], letter)) {
            body += letter;
        } else {
            body += c;
        }
    }
    const std::string mail = std::string("Subject: s\r\nContent-Type: text/") +
                             (html ? "html" : "plain") + "; charset=" + kCharsets[charset] +
                             "\r\n\r\n" + body;
    const mime::QueryMatcher matcher(std::move(parsed));
    const auto holds = [&](std::string_view text) { return matcher.BodyHolds(text); };
    const mime::MailTexts texts = mime::TextsOfMail(mail, mime::TextHolds(holds));
    std::size_t hits = 0;
    bool all = true;
    for (const query::Term* term : matcher.Query().PositiveWords()) {
        std::size_t n = 0;
        for (const std::string* text : {&texts.subject, &texts.from}) {
            n += mime::CountOccurrences(query::Folded(*text, {kana}), term->folded);
        }
        for (const std::string& part : texts.parts) {
            n += mime::CountOccurrences(query::Folded(part, {kana}), term->folded);
        }
        hits += n;
        all &= n > 0;
    }
    const mime::QueryMatcher::Verdict verdict = matcher.Match(mail);
    fuzz::Check(verdict.matches == all && verdict.hits == (all ? hits : 0),
                "the filtered match counts what the folded texts hold");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    if (input.TakeByte() % 2 == 0) {
        CheckFolding(input);
    } else {
        CheckFiltersHideNothing(input);
    }
    return 0;
}
