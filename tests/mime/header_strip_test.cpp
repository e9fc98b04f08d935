// The header strip: decoded fields, and the file names of the parts however they are
// written, nested or hostile.
#include "mime/header_strip.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarsel::mime {
namespace {

std::string Nested(int depth) {
    std::string mail;
    for (int i = 0; i < depth; ++i) {
        const std::string boundary = "b" + std::to_string(i) + "_";
        mail += "Content-Type: multipart/mixed; boundary=" + boundary + "\n\n--" + boundary + "\n";
    }
    return mail + "Content-Type: application/pdf; name=deep.pdf\n\nx\n";
}

TEST(HeaderStripTest, NamesTheFilesOfTheParts) {
    const struct {
        const char* what;
        std::string mail;
        std::vector<std::string> names;
    } cases[] = {
        {"filename, name, and a text part without either",
         "Content-Type: multipart/mixed; boundary=\"X\"\n\n--X\nContent-Type: text/plain\n\n"
         "hi\n--X\nContent-Disposition: attachment; filename=\"a b.pdf\"\n\n%PDF\n--X\n"
         "Content-Type: image/png; name=c.png\n\npng\n--X--\n",
         {"a b.pdf", "c.png"}},
        {"RFC 2231 with a charset, and continuations",
         "Content-Type: multipart/mixed; boundary=X\n\n--X\nContent-Disposition: attachment;\n"
         " filename*=UTF-8''%E8%A6%8B%E7%A9%8D.xlsx\n\n.\n--X\nContent-Disposition: attachment;"
         "\n filename*0*=ISO-2022-JP''%1B%24B8%2B%1B%28B; filename*1=.doc\n\n.\n--X--\n",
         {"見積.xlsx", "見.doc"}},
        {"RFC 2047 in a quoted name",
         "Content-Type: application/zip; name=\"=?UTF-8?B?6LOH5paZLnppcA==?=\"\n\nPK\n",
         {"資料.zip"}},
        {"a forwarded mail's file",
         "Content-Type: message/rfc822\n\nContent-Type: text/plain; name=inner.txt\n\nx\n",
         {"inner.txt"}},
        {"nesting within the limit", Nested(30), {"deep.pdf"}},
        {"nesting past the limit", Nested(40), {}},
        {"no closing delimiter",
         "Content-Type: multipart/mixed; boundary=X\n\n--X\nContent-Type: a/b; name=n\n\nx",
         {"n"}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(HeaderStripOf(c.mail).attachments, c.names) << c.what;
    }
    std::string many = "Content-Type: multipart/mixed; boundary=X\n\n";
    for (int i = 0; i < 1000; ++i) {
        many += "--X\nContent-Type: a/b; name=f\n\n.\n";
    }
    EXPECT_EQ(HeaderStripOf(many).attachments.size(), 100u);
}

TEST(HeaderStripTest, DecodesTheFields) {
    const HeaderStrip strip = HeaderStripOf(
        "From: =?ISO-2022-JP?B?GyRCOzNFRBsoQg==?= <yamada@example.jp>\r\nTo: a@example.jp,\r\n"
        " b@example.jp\r\nSubject: =?UTF-8?Q?=E4=BC=9A=E8=AD=B0?=\r\nDate: Tue, 7 Dec 1999 "
        "12:34:56 +0900\r\n\r\nbody\r\n");
    EXPECT_EQ(strip.from, "山田 <yamada@example.jp>");
    EXPECT_EQ(strip.to, "a@example.jp, b@example.jp");
    EXPECT_EQ(strip.cc, "");
    EXPECT_EQ(strip.subject, "会議");
    EXPECT_EQ(strip.date, "Tue, 7 Dec 1999 12:34:56 +0900");
    EXPECT_TRUE(strip.attachments.empty());
}

}  // namespace
}  // namespace tarsel::mime
