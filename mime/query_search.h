// The decoded search's queries over one mail: which mails match, how many times their
// positive words occur, and where those occurrences stand in the texts a reader is shown.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "mime/decoded_search.h"
#include "query/query.h"

namespace tarsel::mime {

class QueryMatcher {
  public:
    explicit QueryMatcher(query::Query query);
    QueryMatcher(const QueryMatcher&) = delete;
    QueryMatcher& operator=(const QueryMatcher&) = delete;
    ~QueryMatcher();

    const query::Query& Query() const { return query_; }

    struct Verdict {
        bool matches = false;
        std::size_t hits = 0;  // occurrences of the positive words, when it matches
    };
    // mail is the text after the mail mark. Safe to call from several threads at once.
    Verdict Match(std::string_view mail) const;

    // Whether a shown body text holds a positive word (chooses among alternatives).
    bool BodyHolds(std::string_view utf8) const;
    // The occurrences of the positive body words in a shown body text, as runs of its bytes:
    // ascending and disjoint (overlapping occurrences of different words are joined). A folded
    // match covers the original characters it came from.
    struct Run {
        std::size_t offset;
        std::size_t length;
    };
    void MarkBodyWords(std::string_view utf8, std::vector<Run>& runs) const;

  private:
    struct Word;
    class Visitor;
    void CountIn(std::string_view utf8, bool Word::*inField,
                 std::vector<std::size_t>& counts) const;
    // Whether the words of a field, counted in utf8's own bytes, count as in its folded form.
    bool CountsInBytes(std::string_view utf8, bool Word::*inField) const;
    // The text the words of a field are counted in: utf8 where that counts alike, else folded.
    std::string_view Compared(std::string_view utf8, bool Word::*inField,
                              std::string& scratch) const;

    query::Query query_;
    std::vector<Word> words_;  // every word term, in query order
    bool anySubject_ = false, anyFrom_ = false, anyBody_ = false;
};

}  // namespace tarsel::mime
