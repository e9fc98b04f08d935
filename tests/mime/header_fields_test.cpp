// Header fields found in one pass over an entity's lines, as one search per name finds them.
#include "mime/header_fields.h"

#include <gtest/gtest.h>

#include <iterator>
#include <string>
#include <string_view>

namespace tarsel::mime {
namespace {

// The values of the names, "-" for a field not found, joined by "|".
std::string Found(std::string_view headers) {
    constexpr std::string_view kNames[] = {"Content-Type", "Content-Transfer-Encoding",
                                           "Content-Disposition"};
    FoundField fields[std::size(kNames)];
    FindFields(headers, kNames, std::size(kNames), fields);
    std::string joined;
    for (std::size_t i = 0; i < std::size(kNames); ++i) {
        std::string_view alone;
        const bool found = FindField(headers, kNames[i], alone);
        EXPECT_EQ(fields[i].found, found) << kNames[i] << " in " << headers;
        EXPECT_EQ(fields[i].value, alone) << kNames[i] << " in " << headers;
        joined += (i == 0 ? "" : "|") + (fields[i].found ? std::string(fields[i].value) : "-");
    }
    return joined;
}

TEST(HeaderFieldsTest, FindsSeveralFieldsInOnePass) {
    const struct {
        std::string_view headers, found;
    } cases[] = {
        {"", "-|-|-"},
        {"Content-Type: text/plain", " text/plain|-|-"},
        {"content-type:a\nCONTENT-TRANSFER-ENCODING:b\ncontent-disposition:c", "a|b|c"},
        {"Content-Disposition: x\r\nContent-Type: y\r\n", " y\r|-| x\r"},
        {"Content-Type: a\nContent-Type: b", " a|-|-"},  // the first one counts
        {"Content-Type: a;\n b=c\nX: d", " a;\n b=c|-|-"},
        {"X: a\n Content-Type: b", "-|-|-"},               // a continuation starts no field
        {"Content-Type  : a", " a|-|-"},                   // blanks before the colon
        {"Content-Types: a\nContent-Type-X: b", "-|-|-"},  // longer names are other fields
        {"Content-Transfer-Encoding:\nContent-Type:", "||-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Found(c.headers), c.found) << c.headers;
    }
}

}  // namespace
}  // namespace tarsel::mime
