// The lean scanner of the decoded search against two independent readers: Python's email
// package (which also writes the mails) and GMime.
#include "mime/decoded_search.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <nlohmann/json.hpp>

#include "mime/gmime_reader.h"
#include "mime/text_util.h"
#include "tests/support/temp_files.h"

namespace tarsel::mime {
namespace {

std::size_t CountInTexts(const MailTexts& texts, std::string_view word) {
    std::size_t n = CountOccurrences(texts.subject, word) + CountOccurrences(texts.from, word);
    for (const std::string& part : texts.parts) {
        n += CountOccurrences(part, word);
    }
    return n;
}

// Mails in every charset and transfer encoding, a word across a base64 line break, words
// split between encoded words on folded lines, words only in attachments.
TEST(DecodedSearchTest, CountsWhatPythonsReaderDecodes) {
    test::TempDir dir;
    const auto archive = dir.path() / "mails.mbox";
    const auto expectedPath = dir.path() / "expected.json";
    const std::string command = std::string(TARSEL_PYTHON) + " " + TARSEL_MAKE_MAILS + " " +
                                archive.string() + " " + expectedPath.string();
    ASSERT_EQ(std::system(command.c_str()), 0);
    const std::string all = test::ReadAll(archive);
    const auto expected = nlohmann::json::parse(test::ReadAll(expectedPath));

    std::vector<std::string_view> mails;
    for (std::size_t at = all.find("\x7f \x7f"); at != std::string::npos;) {
        const std::size_t next = all.find("\x7f \x7f", at + 3);
        mails.push_back(std::string_view(all).substr(at + 3, next - at - 3));
        at = next;
    }
    ASSERT_EQ(mails.size(), expected["mails"].size());
    for (const std::string word : expected["words"]) {
        const DecodedNeedle needle(word);
        for (std::size_t m = 0; m < mails.size(); ++m) {
            const std::size_t want = expected["mails"][m][word];
            EXPECT_EQ(CountInMail(mails[m], needle), want) << "mail " << m << " word " << word;
            EXPECT_EQ(CountInTexts(ReadMailWithGMime(mails[m], word), word), want)
                << "GMime, mail " << m << " word " << word;
        }
    }
}

// Cases the Python encoder does not write: CP932 extensions in ISO-2022-JP, characters with
// two Shift-JIS codes, undeclared charsets, a character split between two encoded words
// (which GMime decodes word by word, into two broken halves), a padded word before another.
TEST(DecodedSearchTest, AgreesWithGMimeOnHandWrittenMails) {
    struct Case {
        const char* mail;
        const char* word;
        std::size_t count;
        std::size_t gmimeCount;
    } cases[] = {
        {"Subject: x\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n\x1b$B-!\x1b(B\r\n",
         "①", 1, 1},
        {"Subject: x\r\nContent-Type: text/plain; charset=shift_jis\r\n\r\n\x87\x90 \x81\xe0\r\n",
         "≒", 2, 2},
        {"Subject: x\r\nContent-Type: text/plain\r\n\r\n\x8c\x9f\x8d\xf5\r\n", "検索", 1, 1},
        {"Subject: x\r\n\r\n\x1b$B8!:w\x1b(B 8!:w\r\n", "検索", 1, 1},
        // ISO-2022-JP whose escapes join runs, or with 8-bit Shift-JIS the reader shows.
        {"Subject: x\r\n\r\n\x1b$B8!\x1b$B:w\x1b(B\r\n", "検索", 1, 1},
        {"Subject: x\r\n\r\n\x1b$B0!\x1b(Ba\x1b$B\x1b(Bb\x1b(Bc\r\n", "abc", 1, 1},
        {"Subject: x\r\n\r\n\x1b$B0!\r\n\x1b(Bab\r\n", "\nab", 1, 1},
        {"Subject: x\r\n\r\na\x1b$B 0!\r\n", "a ", 1, 1},
        {"Subject: x\r\n\r\n\x1b$B0!\r\n\x1b\x1b(B$B8!\r\n", "\x1b$B8!", 1, 1},
        {"Subject: x\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n\x8c\x9f\x8d\xf5\r\n",
         "検索", 1, 1},
        // Charsets that do not write ASCII as ASCII: EBCDIC, UTF-7 under another name.
        {"Subject: x\r\nContent-Type: text/plain; charset=ibm037\r\n\r\n\x81\x82\r\n", "ab", 1, 1},
        {"Subject: x\r\nContent-Type: text/plain; charset=utf7\r\n\r\n+AGEAYg-\r\n", "ab", 1, 1},
        {"Subject: =?utf-8?B?5qQ=?=\r\n =?utf-8?B?nOe0og==?=\r\n\r\nbody\r\n", "検索", 1, 0},
        {"Subject: =?utf-8?q?a?= \t=?utf-8?q?b?=\r\n\r\n", "ab", 1, 1},
        // GMime decodes adjacent words' base64 as one text and stops at the first padding.
        {"Subject: =?ISO-2022-JP?B?GyRCIVpPIk1tIVsbKEI=?=\r\n\t=?ISO-2022-JP?B?"
         "GyRCP007djBbRjAkTiQqGyhC?=\r\n\r\n",
         "人事", 1, 0},
        {"Subject: x\r\nContent-Transfer-Encoding: quoted-printable\r\nContent-Type: text/plain; "
         "charset=utf-8\r\n\r\nTar=\r\nsel =E6=A4=\r\n=9C=E7=B4=A2\r\n",
         "Tarsel", 1, 1},
        {"Subject: x\r\nContent-Type: multipart/mixed; boundary=\"b\"\r\n\r\n--b\r\n"
         "Content-Type: image/png\r\n\r\naaaa\r\n--b\r\n\r\naaaa\r\n--b--\r\n",
         "aa", 3, 3},
    };
    // Hostile headers and HTML stay linear: many "=?" and "&" that never complete.
    std::string manyPrefixes = "Subject: ";
    for (int i = 0; i < 200000; ++i) {
        manyPrefixes += "=?a b?B?";
    }
    const std::string hostileSubject = manyPrefixes + "?= ab\r\n\r\n";
    const std::string hostileHtml = "Content-Type: text/html\r\n\r\n" + std::string(2000000, '&') +
                                    "ab<" + std::string(100000, '<');
    // So does a new charset name in every part: each look-up stays as quick as the first.
    std::string manyCharsets = "Content-Type: multipart/mixed; boundary=b\r\n\r\n";
    for (int i = 0; i < 100000; ++i) {
        manyCharsets +=
            "--b\r\nContent-Type: text/plain; charset=x-" + std::to_string(i) + "\r\n\r\nab\r\n";
    }
    manyCharsets += "--b--\r\n";
    EXPECT_EQ(CountInMail(hostileSubject, DecodedNeedle("ab")), 1u);
    EXPECT_EQ(CountInMail(hostileHtml, DecodedNeedle("ab")), 1u);
    EXPECT_EQ(CountInMail(manyCharsets, DecodedNeedle("ab")), 100000u);
    for (const Case& c : cases) {
        const std::size_t lean = CountInMail(c.mail, DecodedNeedle(c.word));
        EXPECT_EQ(lean, c.count) << c.mail;
        EXPECT_EQ(CountInTexts(ReadMailWithGMime(c.mail), c.word), c.gmimeCount) << c.mail;
    }
}

}  // namespace
}  // namespace tarsel::mime
