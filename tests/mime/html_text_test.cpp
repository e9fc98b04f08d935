// The text of HTML parts as a browser lays it out.
#include "mime/html_text.h"

#include <gtest/gtest.h>

#include <string>

namespace tarsel::mime {
namespace {

TEST(HtmlToTextTest, ShowsWhatABrowserShows) {
    struct Case {
        const char* name;
        std::string html;
        std::string text;
    };
    const Case cases[] = {
        {"named references, old ones without their semicolon", "&uuml;ber &amp &copy2 &notit; &zz;",
         "\xC3\xBC"
         "ber & \xC2\xA9"
         "2 \xC2\xAC"
         "it; &zz;"},
        {"a soft hyphen stays in the word", "soft&shy;hyphen", "soft\xC2\xADhyphen"},
        {"numeric references, the impossible ones as U+FFFD",
         "&#x1F600;&#65&#0;&#xD800;&#x110000;&#128;&#00000000000065;",
         "\xF0\x9F\x98\x80"
         "A\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xE2\x82\xAC"
         "A"},
        {"blanks and source line breaks collapse", " ShouldFind\r\n \t AcrossLines \n",
         "ShouldFind AcrossLines"},
        {"pre keeps its blanks and lines", "<p>a</p><PRE>x  y\n z</PRE>b", "a\nx  y\n z\nb"},
        {"blocks end lines, blank lines collapse", "<div><p>one</p><p></p><br><br/>two</div>",
         "one\ntwo"},
        {"hidden elements", "<head><title>t</title><style>s</style></head><script>x</script>body",
         "body"},
        {"an unclosed title is read on", "<title>t body", "t body"},
        {"a script left open hides the rest", "a<script>b", "a"},
        {"a less-than sign that opens no tag", "a < b <3 x<3y", "a < b <3 x<3y"},
        {"a quoted greater-than sign inside a tag", "<img alt = 'a>b'>c", "c"},
        {"comments and declarations", "<!DOCTYPE html>a<!-- x -->b", "ab"},
        {"a page that ends inside a tag", "a <b x", "a"},
    };
    for (const Case& c : cases) {
        std::string text = "left over";
        HtmlToText(c.html, text);
        EXPECT_EQ(text, c.text) << c.name;
    }
}

}  // namespace
}  // namespace tarsel::mime
