// Reading a query of the decoded search: its words, phrases, field prefixes, exclusions, OR
// groups and date ranges.
#include <array>
#include <string_view>

#include "query/query.h"

namespace tarsel::query {
namespace {

constexpr std::string_view kIdeographicSpace = "\xE3\x80\x80";

// The length of the blank at text[at] (a blank, a tab or U+3000), 0 for none.
std::size_t BlankAt(std::string_view text, std::size_t at) {
    if (text[at] == ' ' || text[at] == '\t') {
        return 1;
    }
    return text.substr(at, kIdeographicSpace.size()) == kIdeographicSpace ? kIdeographicSpace.size()
                                                                          : 0;
}

bool StartsWithNoCase(std::string_view text, std::string_view prefix) {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        char c = text[i];
        c = c >= 'A' && c <= 'Z' ? static_cast<char>(c + 0x20) : c;
        if (c != prefix[i]) {
            return false;
        }
    }
    return true;
}

struct Prefix {
    std::string_view name;
    Field field;
};
constexpr std::array<Prefix, 7> kPrefixes = {{{"subject:", Field::kSubject},
                                              {"件名:", Field::kSubject},
                                              {"from:", Field::kFrom},
                                              {"差出人:", Field::kFrom},
                                              {"body:", Field::kBody},
                                              {"本文:", Field::kBody},
                                              {"date:", Field::kDate}}};

// One piece of the query as written, before OR groups are formed.
struct Token {
    Term term;
    bool quoted = false;
    bool bare = false;  // no minus, no prefix, no quotes: may be the word OR
};

// Reads the token at text[at], moving at past it.
Token ReadToken(std::string_view text, std::size_t& at) {
    Token token;
    const std::size_t start = at;
    auto rest = [&] { return text.substr(at); };
    if (text[at] == '-' && at + 1 < text.size() && BlankAt(text, at + 1) == 0) {
        token.term.excluded = true;
        ++at;
    }
    for (const Prefix& prefix : kPrefixes) {
        const std::string_view after = rest().substr(std::min(prefix.name.size(), rest().size()));
        if (StartsWithNoCase(rest(), prefix.name) && !after.empty() && BlankAt(after, 0) == 0) {
            token.term.field = prefix.field;
            at += prefix.name.size();
            break;
        }
    }
    if (text[at] == '"') {
        const std::size_t close = text.find('"', at + 1);
        const std::size_t end = close == std::string_view::npos ? text.size() : close;
        token.term.text = text.substr(at + 1, end - at - 1);
        token.quoted = true;
        at = close == std::string_view::npos ? text.size() : close + 1;
        return token;
    }
    const std::size_t from = at;
    while (at < text.size() && BlankAt(text, at) == 0) {
        ++at;
    }
    token.term.text = text.substr(from, at - from);
    token.bare = from == start;
    return token;
}

bool IsDigits(std::string_view text, std::size_t count) {
    if (text.size() != count) {
        return false;
    }
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return false;
        }
    }
    return true;
}

int Number(std::string_view digits) {
    int n = 0;
    for (const char c : digits) {
        n = n * 10 + (c - '0');
    }
    return n;
}

int DaysInMonth(int year, int month) {
    static constexpr std::array<int, 12> kDays = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return month == 2 && leap ? 29 : kDays[static_cast<std::size_t>(month - 1)];
}

// YYYY, YYYY-MM or YYYY-MM-DD as its first and last day (yyyymmdd); false for any other text.
bool ReadDay(std::string_view text, int& first, int& last) {
    const std::string_view year = text.substr(0, 4);
    if (!IsDigits(year, 4)) {
        return false;
    }
    const int y = Number(year);
    if (text.size() == 4) {
        first = y * 10000 + 101;
        last = y * 10000 + 1231;
        return true;
    }
    if (text.size() < 7 || text[4] != '-' || !IsDigits(text.substr(5, 2), 2)) {
        return false;
    }
    const int m = Number(text.substr(5, 2));
    if (m < 1 || m > 12) {
        return false;
    }
    if (text.size() == 7) {
        first = y * 10000 + m * 100 + 1;
        last = y * 10000 + m * 100 + DaysInMonth(y, m);
        return true;
    }
    if (text.size() != 10 || text[7] != '-' || !IsDigits(text.substr(8, 2), 2)) {
        return false;
    }
    const int d = Number(text.substr(8, 2));
    if (d < 1 || d > DaysInMonth(y, m)) {
        return false;
    }
    first = last = y * 10000 + m * 100 + d;
    return true;
}

// "A..B", "A..", "..B" or "A".
bool ReadDateRange(std::string_view text, Term& term) {
    const std::size_t dots = text.find("..");
    int unused = 0;
    if (dots == std::string_view::npos) {
        return ReadDay(text, term.firstDay, term.lastDay);
    }
    const std::string_view from = text.substr(0, dots), to = text.substr(dots + 2);
    if (from.empty() && to.empty()) {
        return false;
    }
    return (from.empty() || ReadDay(from, term.firstDay, unused)) &&
           (to.empty() || ReadDay(to, unused, term.lastDay));
}

}  // namespace

std::vector<const Term*> Query::PositiveWords() const {
    std::vector<const Term*> words;
    for (const std::vector<Term>& clause : clauses) {
        for (const Term& term : clause) {
            if (!term.excluded && term.field != Field::kDate) {
                words.push_back(&term);
            }
        }
    }
    return words;
}

bool Query::HasPositiveWord() const {
    return !PositiveWords().empty();
}

bool Query::HasDateTerm() const {
    for (const std::vector<Term>& clause : clauses) {
        for (const Term& term : clause) {
            if (term.field == Field::kDate) {
                return true;
            }
        }
    }
    return false;
}

bool ParseQuery(std::string_view utf8, bool exact, FoldOptions folding, Query& query,
                std::string& badDate) {
    query = Query{};
    query.folding = folding;
    query.exact = exact;
    std::vector<Token> tokens;
    for (std::size_t at = 0; at < utf8.size();) {
        if (const std::size_t blank = BlankAt(utf8, at); blank != 0) {
            at += blank;
            continue;
        }
        tokens.push_back(ReadToken(utf8, at));
    }
    bool joinNext = false;
    for (std::size_t i = 0; i < tokens.size(); ++i) {
        Token& token = tokens[i];
        // OR between two terms joins them; anywhere else it is a word.
        if (token.bare && token.term.text == "OR" && !query.clauses.empty() && !joinNext &&
            i + 1 < tokens.size()) {
            joinNext = true;
            continue;
        }
        Term& term = token.term;
        if (term.field == Field::kDate) {
            if (!ReadDateRange(term.text, term)) {
                badDate = term.text;
                return false;
            }
        } else {
            term.folded = exact ? term.text : Folded(term.text, folding);
            if (term.folded.empty()) {
                joinNext = false;
                continue;  // nothing to look for (a word of marks alone)
            }
        }
        if (joinNext) {
            query.clauses.back().push_back(std::move(term));
        } else {
            query.clauses.push_back({std::move(term)});
        }
        joinNext = false;
    }
    return true;
}

}  // namespace tarsel::query
