// A query of the decoded search: words a mail must hold (or must not), each in any field or
// in one, joined by OR, and date conditions on the day the mail's Date field names.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "query/text_folding.h"

namespace tarsel::query {

enum class Field { kAny, kSubject, kFrom, kBody, kDate };

// One word (or phrase, or date condition) of a query.
struct Term {
    Field field = Field::kAny;
    bool excluded = false;  // "-word": the mails that hold it are left out
    std::string text;       // as typed, without its field prefix, quotes or minus
    std::string folded;     // what the texts are compared with: text folded, or as typed
    // A date condition's first and last day as yyyymmdd, both inclusive.
    int firstDay = 0;
    int lastDay = 99999999;
};

// The query as understood: a mail matches when every clause holds, a clause when any of its
// terms does (the terms joined by OR), a word term when the word stands in its field (or
// does not, when excluded), a date term when the mail's day lies in its range (or does not).
struct Query {
    std::vector<std::vector<Term>> clauses;
    FoldOptions folding;
    bool exact = false;  // words are compared byte for byte, as typed

    // The terms whose occurrences are counted and shown: words that are not excluded.
    std::vector<const Term*> PositiveWords() const;
    bool HasPositiveWord() const;
    bool HasDateTerm() const;
};

// Reads utf8 as a query. Words are separated by blanks (U+0020, tab, U+3000) outside double
// quotes; "a phrase" is one word. "-" before a word excludes it; the word OR between two
// words joins them; "subject:"/"件名:", "from:"/"差出人:", "body:"/"本文:" restrict a word
// to a field; "date:A..B", "date:A" take YYYY, YYYY-MM or YYYY-MM-DD, either end may be empty.
// On a date it cannot read, returns false with that date's text in badDate.
bool ParseQuery(std::string_view utf8, bool exact, FoldOptions folding, Query& query,
                std::string& badDate);

}  // namespace tarsel::query
