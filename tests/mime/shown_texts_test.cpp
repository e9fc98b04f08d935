// The programs read a shown mail through the GMime module, loaded on first use: it must be
// found from where the programs are, and read exactly as the GMime reader itself does.
#include "mime/shown_texts.h"

#include <gtest/gtest.h>

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

    // Past ten thousand lines that may open a part GMime's object per part costs too much:
    // the lean scanner reads such a mail (its subject shows which reader ran).
    for (const int parts : {9999, 10001}) {
        std::string mail = std::string(mails[0]).substr(0, std::string(mails[0]).find("\r\n\r\n")) +
                           "\r\nContent-Type: multipart/mixed; boundary=b\r\n\r\n";
        for (int i = 0; i < parts; ++i) {
            mail += "--b\r\n\r\nab\r\n";
        }
        mail += "--b--\r\n";
        const MailTexts shown = ShownTextsOfMail(mail);
        EXPECT_EQ(shown.parts.size(), static_cast<std::size_t>(parts));
        EXPECT_EQ(shown.subject == TextsOfMail(mail).subject, parts > 9999) << parts;
    }
}

}  // namespace
}  // namespace tarsel::mime
