// The Japanese words the archive generator writes: sentences, subjects and names, kept in the
// source as UTF-8 and converted once to CP932 and to bare JIS X 0208 pairs.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace tarsel::archive {

// Japanese text of double-byte characters only, in the two forms a mail carries it.
struct JapaneseText {
    std::string jis;   // bare JIS X 0208 pairs, no escape sequences
    std::string sjis;  // the same characters in CP932
    std::size_t Chars() const { return jis.size() / 2; }
};

struct Name {
    JapaneseText kanji;
    std::string_view romaji;
};

// Words whose share of the mails is controlled, so that searches for them find a known
// proportion. Outside keywordSentences only the room names (written with the meeting keyword)
// and the subjects (which are base64 in the mail) hold them.
enum Keyword : std::size_t { kSearch, kMail, kMeeting, kPlan, kReport, kKeywordCount };

struct Vocabulary {
    std::vector<JapaneseText> sentences;
    std::array<std::vector<JapaneseText>, kKeywordCount> keywordSentences;
    std::vector<JapaneseText> greetings;
    std::vector<JapaneseText> closings;
    std::vector<JapaneseText> subjects;
    std::vector<JapaneseText> subjectPrefixes;  // such as 【重要】
    std::vector<JapaneseText> subjectSuffixes;  // such as （再送）
    std::vector<JapaneseText> agendaItems;
    std::vector<JapaneseText> rooms;  // every room name holds the meeting keyword
    std::vector<JapaneseText> companies;
    std::vector<JapaneseText> departments;
    std::vector<Name> surnames;
    std::vector<Name> givenNames;
    std::array<JapaneseText, 7> weekdays;  // （日） to （土）, Sunday first
    JapaneseText san;                      // さん
    JapaneseText sama;                     // 様
    JapaneseText allConcerned;             // 関係者各位
    JapaneseText desu;                     // です。
    JapaneseText wrote;                    // さんは書きました：
    JapaneseText dateLabel;                // 日時：
    JapaneseText placeLabel;               // 場所：
    JapaneseText agendaLabel;              // 議題：
    JapaneseText wideSpace;                // the ideographic space
};

// The built-in lists, converted on first use (thread-safe). Aborts with a message when the
// system's iconv cannot convert them: the generator has nothing to write without them.
const Vocabulary& BuiltInVocabulary();

}  // namespace tarsel::archive
