// The programs read a shown mail through the GMime module, loaded on first use: it must be
// found from where the programs are, and read exactly as the GMime reader itself does.
#include "mime/shown_texts.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>

#include "mime/gmime_reader.h"

namespace tarsel::mime {
namespace {

TEST(ShownTextsTest, ReadsThroughTheGMimeModule) {
    const char* mails[] = {
        // GMime stops this subject at the first word's padding and the lean scanner does not,
        // so the texts tell which reader ran.
        "Subject: =?ISO-2022-JP?B?GyRCIVpPIk1tIVsbKEI=?=\r\n\t=?ISO-2022-JP?B?"
        "GyRCP007djBbRjAkTiQqGyhC?=\r\n\r\nbody\r\n",
        "From: =?utf-8?B?5qSc57Si?= <a@example.org>\r\nContent-Type: multipart/alternative; "
        "boundary=\"b\"\r\n\r\n--b\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n"
        "\x1b$B8!:w\x1b(B\r\n--b\r\nContent-Type: text/html\r\n\r\n<p>x</p>\r\n--b--\r\n",
    };
    for (const char* mail : mails) {
        const MailTexts shown = ShownTextsOfMail(mail);
        const MailTexts gmime = ReadMailWithGMime(mail);
        EXPECT_EQ(shown.subject, gmime.subject) << mail;
        EXPECT_EQ(shown.from, gmime.from) << mail;
        EXPECT_EQ(shown.parts, gmime.parts) << mail;
    }
    EXPECT_NE(ShownTextsOfMail(mails[0]).subject, TextsOfMail(mails[0]).subject)
        << "the lean scanner stood in: the GMime module was not found";
    // The search string reaches the module: it chooses the alternative that holds it.
    const MailTexts chosen = ShownTextsOfMail(mails[1], "x");
    EXPECT_EQ(chosen.parts, ReadMailWithGMime(mails[1], "x").parts);
    EXPECT_EQ(chosen.parts, std::vector<std::string>{"x"});

    // Past ten thousand lines that may open a part or a field, or a hundred thousand encoded
    // words, GMime's object for each costs too much: the lean scanner reads such a mail (its
    // subject shows which reader ran).
    const std::string subject(mails[0], std::string_view(mails[0]).find("\r\n\r\n") + 2);
    for (const int lines : {9997, 9998}) {
        std::string manyParts = subject + "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
        std::string manyFields = subject;
        for (int i = 0; i < lines; ++i) {
            manyParts += "--b\r\n\r\nab\r\n";
            manyFields += "X-Field: x\r\n";
        }
        manyFields += "X-Field: x\r\nX-Field: x\r\n";  // as many lines as the parts' mail
        manyParts += "--b--\r\n";
        manyFields += "\r\nab\r\n";
        // "=?" stands in the subject already (a padded word's end holds one more).
        int wordsInSubject = 0;
        for (std::size_t at = subject.find("=?"); at != std::string::npos;
             at = subject.find("=?", at + 2)) {
            ++wordsInSubject;
        }
        // In the body: a header block of so many words would pass the bound of its bytes.
        std::string manyWords = subject + "\r\nWords:";
        for (int i = wordsInSubject; i < lines + 100000 - 9997; ++i) {
            manyWords += " =?utf-8?q?a?=";
        }
        manyWords += "\r\nab\r\n";
        for (const std::string& mail : {manyParts, manyFields, manyWords}) {
            EXPECT_EQ(ShownTextsOfMail(mail).subject == TextsOfMail(mail).subject, lines > 9997)
                << lines << mail.substr(0, 200);
        }
    }
}

bool SameTexts(const MailTexts& a, const MailTexts& b) {
    return a.subject == b.subject && a.from == b.from && a.parts == b.parts;
}

std::string Repeat(std::string_view text, std::size_t times) {
    std::string out;
    out.reserve(text.size() * times);
    for (std::size_t i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

// At each bound of what GMime is given GMime still reads the mail, one past it the lean scanner
// does. Fields count as GMime keeps them, whatever their names hold, in the mail's header, a
// part's and an enclosed message's; lines of a body are no fields.
TEST(ShownTextsTest, LeavesMailsPastTheBoundsToTheLeanScanner) {
    using namespace gmime_bounds;
    // GMime and the lean scanner read this subject differently (see above); one field.
    const std::string subject =
        "Subject: =?ISO-2022-JP?B?GyRCIVpPIk1tIVsbKEI=?=\r\n\t=?ISO-2022-JP?B?"
        "GyRCP007djBbRjAkTiQqGyhC?=\r\n";
    const std::string multipart = "Content-Type: multipart/mixed; boundary=b\r\n";
    const struct {
        const char* what;
        std::size_t bound;
        std::function<std::string(std::size_t)> mail;  // with n of what the bound counts
    } cases[] = {
        {"fields of 8-bit names, blanks before the colon, no names", kStructureLines,
         [&](std::size_t n) {
             std::string mail = subject;
             for (std::size_t i = 1; i < n; ++i) {
                 mail += i % 3 == 0 ? "\x80:\r\n" : i % 3 == 1 ? "X-A :\r\n" : ":x\r\n";
             }
             return mail + "\r\nab\r\n";
         }},
        {"an enclosed message's fields", kStructureLines,
         [&](std::size_t n) {
             return subject + "Content-Type: message/rfc822\r\n\r\n" + Repeat("\x80:\r\n", n - 2) +
                    "\r\nab\r\n";
         }},
        {"parameters", kFieldItems,
         [&](std::size_t n) {
             return subject + "Content-Type: text/plain" + Repeat("; a=b", n) + "\r\n\r\nab\r\n";
         }},
        {"parameters of all fields", kHeaderItems,
         [&](std::size_t n) {
             std::string mail = subject;
             for (std::size_t left = n; left > 0;) {
                 const std::size_t items = std::min(left, kFieldItems);
                 mail += "Keywords: a" + Repeat(";a", items) + "\r\n";
                 left -= items;
             }
             return mail + "\r\nab\r\n";
         }},
        // 1024 addresses in a field of n bytes ("To: ", the addresses, CR LF).
        {"addresses times their field's bytes", kAddressWork / 1024,
         [&](std::size_t n) {
             return subject + "To: " + Repeat("a,", 1024) + std::string(n - 2054, 'a') +
                    "\r\n\r\nab\r\n";
         }},
        {"bytes of a header block", kBlockBytes,
         [&](std::size_t n) {
             return subject + "X-Long: " + std::string(n - subject.size() - 10, 'x') +
                    "\r\n\r\nab\r\n";
         }},
        {"bytes of all header blocks", kHeaderBytes,
         [&](std::size_t n) {
             std::string mail = subject + multipart + "\r\n";
             // Five parts of under a block's bytes each: "X: ", the padding, CR LF.
             const std::size_t parts = n - subject.size() - multipart.size();
             for (int i = 0; i < 5; ++i) {
                 const std::size_t bytes = i < 4 ? parts / 5 : parts - 4 * (parts / 5);
                 mail += "--b\r\nX: " + std::string(bytes - 5, 'x') + "\r\n\r\nab\r\n";
             }
             return mail + "--b--\r\n";
         }},
    };
    for (const auto& c : cases) {
        const std::string at = c.mail(c.bound);
        const std::string past = c.mail(c.bound + 1);
        const MailTexts gmime = ReadMailWithGMime(at);
        ASSERT_NE(gmime.subject, TextsOfMail(at).subject) << c.what;
        EXPECT_TRUE(SameTexts(ShownTextsOfMail(at), gmime)) << c.what;
        EXPECT_TRUE(SameTexts(ShownTextsOfMail(past), TextsOfMail(past))) << c.what;
    }
    const std::string body = subject + "\r\n" + Repeat("X-Field: x\r\n", kStructureLines + 1);
    EXPECT_TRUE(SameTexts(ShownTextsOfMail(body), ReadMailWithGMime(body)));
}

}  // namespace
}  // namespace tarsel::mime
