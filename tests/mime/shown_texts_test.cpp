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
        std::string manyWords = subject + "X-Words:";
        for (int i = wordsInSubject; i < lines + 100000 - 9997; ++i) {
            manyWords += " =?utf-8?q?a?=";
        }
        manyWords += "\r\n\r\nab\r\n";
        for (const std::string& mail : {manyParts, manyFields, manyWords}) {
            EXPECT_EQ(ShownTextsOfMail(mail).subject == TextsOfMail(mail).subject, lines > 9997)
                << lines << mail.substr(0, 200);
        }
    }
}

}  // namespace
}  // namespace tarsel::mime
