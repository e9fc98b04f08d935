// Reading queries: words, phrases, exclusion, OR groups, field prefixes, dates and their
// refusals.
#include <gtest/gtest.h>

#include "query/query.h"

namespace tarsel::query {
namespace {

// The query as one line: clauses joined by " ; ", the terms of a clause by " | ".
std::string Shown(const Query& query) {
    static const char* const kFields[] = {"", "subject:", "from:", "body:", "date:"};
    std::string shown;
    for (const std::vector<Term>& clause : query.clauses) {
        shown += shown.empty() ? "" : " ; ";
        for (std::size_t t = 0; t < clause.size(); ++t) {
            const Term& term = clause[t];
            shown += t == 0 ? "" : " | ";
            shown += std::string(term.excluded ? "-" : "") + kFields[int(term.field)];
            shown += term.field == Field::kDate
                         ? std::to_string(term.firstDay) + "-" + std::to_string(term.lastDay)
                         : "[" + term.folded + "]";
        }
    }
    return shown;
}

TEST(QueryParserTest, ReadsTerms) {
    const struct {
        const char* query;
        const char* shown;
    } cases[] = {
        {"議事録\u3000東京\t会議", "[議事録] ; [東京] ; [会議]"},
        {"\"a  Phrase\" -Ｘ", "[a  phrase] ; -[x]"},
        {"a b OR c d", "[a] ; [b] | [c] ; [d]"},
        {"a OR -b OR c", "[a] | -[b] | [c]"},
        {"OR a OR", "[or] ; [a] ; [or]"},  // OR with no term on a side is a word
        {"Subject:x 件名:\"y z\" from:f 差出人:g BODY:b 本文:h",
         "subject:[x] ; subject:[y z] ; from:[f] ; from:[g] ; body:[b] ; body:[h]"},
        {"subject: - -- \"open", "[subject:] ; [-] ; -[-] ; [open]"},
        {"date:2012 date:2012-02 date:2012-02-29",
         "date:20120101-20121231 ; "
         "date:20120201-20120229 ; "
         "date:20120229-20120229"},
        {"date:2011-12..2012 -date:..2005-06 date:2000..",
         "date:20111201-20121231 ; "
         "-date:0-20050630 ; "
         "date:20000101-99999999"},
    };
    for (const auto& c : cases) {
        Query query;
        std::string bad;
        ASSERT_TRUE(ParseQuery(c.query, false, {}, query, bad)) << c.query;
        EXPECT_EQ(Shown(query), c.shown) << c.query;
    }
    Query exact;
    std::string bad;
    ASSERT_TRUE(ParseQuery("ＦＹＩ", true, {}, exact, bad));
    EXPECT_EQ(Shown(exact), "[ＦＹＩ]");
}

TEST(QueryParserTest, RefusesDatesItCannotRead) {
    for (const char* date : {"2012-13", "2011-02-29", "20x2", "2012-1", "..", "2012/01", "12"}) {
        Query query;
        std::string bad;
        EXPECT_FALSE(ParseQuery(std::string("a date:") + date, false, {}, query, bad)) << date;
        EXPECT_EQ(bad, date);
    }
}

}  // namespace
}  // namespace tarsel::query
