// The decoded search's lean scanner on single mails. The first input byte picks the check:
// - any bytes as a mail, or a body built of word pieces (ISO-2022-JP with escapes, or other
//   charsets with stray bytes): the count with its byte filters equals the count in the texts
//   it decodes in full, so a filter never hides an occurrence;
// - a well-formed mail built from the input (charset, transfer encoding, encoded-word
//   subject, an attachment holding the same text): the count equals what GMime reads.
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "fuzz/fuzz_support.h"
#include "mime/decoded_search.h"
#include "mime/gmime_reader.h"
#include "mime/text_util.h"

namespace {

using namespace tarsel;

constexpr const char* kAlphabet[] = {"a", "b", " ", "検", "索", "メ", "ー", "ル", "①", "😀", "\n"};
constexpr std::size_t kLetters = sizeof kAlphabet / sizeof kAlphabet[0];

std::size_t CountInTexts(const mime::MailTexts& texts, std::string_view word) {
    std::size_t n =
        mime::CountOccurrences(texts.subject, word) + mime::CountOccurrences(texts.from, word);
    for (const std::string& part : texts.parts) {
        n += mime::CountOccurrences(part, word);
    }
    return n;
}

// UTF-8 text to the charset; false when some character has no form there.
bool Encode(const std::string& utf8, const char* charset, std::string& out) {
    iconv_t cd = iconv_open(charset, "UTF-8");
    char buffer[8192];
    char* in = const_cast<char*>(utf8.data());
    std::size_t inLeft = utf8.size();
    char* o = buffer;
    std::size_t outLeft = sizeof buffer;
    const bool ok = iconv(cd, &in, &inLeft, &o, &outLeft) != static_cast<std::size_t>(-1) &&
                    iconv(cd, nullptr, nullptr, &o, &outLeft) != static_cast<std::size_t>(-1);
    iconv_close(cd);
    out.assign(buffer, static_cast<std::size_t>(o - buffer));
    return ok;
}

std::string Base64(std::string_view bytes, bool lines) {
    static const char* const kDigits =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string out;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size())
            v |= static_cast<unsigned char>(bytes[i + 2]);
        out += kDigits[v >> 18 & 63];
        out += kDigits[v >> 12 & 63];
        out += i + 1 < bytes.size() ? kDigits[v >> 6 & 63] : '=';
        out += i + 2 < bytes.size() ? kDigits[v & 63] : '=';
        if (lines && (i / 3 + 1) % 19 == 0) {
            out += "\r\n";
        }
    }
    return out;
}

std::string QuotedPrintable(std::string_view bytes) {
    std::string out;
    std::size_t column = 0;
    for (const char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\n') {
            out += "\r\n";
            column = 0;
            continue;
        }
        if (column > 70) {
            out += "=\r\n";
            column = 0;
        }
        if ((b >= 'a' && b <= 'z') || (b >= 'A' && b <= 'Z')) {
            out += c;
            ++column;
        } else {
            static const char* const kHex = "0123456789ABCDEF";
            out += '=';
            out += kHex[b >> 4];
            out += kHex[b & 15];
            column += 3;
        }
    }
    return out;
}

std::string Crlf(std::string_view bytes) {
    std::string out;
    for (const char c : bytes) {
        if (c == '\n') {
            out += '\r';
        }
        out += c;
    }
    return out;
}

void CheckFiltersHideNothing(fuzz::FuzzInput& input) {
    const std::string word = input.TakeBytes(1 + input.TakeByte() % 8);
    const std::string mail = input.TakeRest();
    if (word.empty()) {
        return;
    }
    const mime::DecodedNeedle needle(word);
    fuzz::Check(
        mime::CountInMail(mail, needle) == CountInTexts(mime::TextsOfMail(mail, word), word),
        "the filtered count equals the count in the fully decoded texts");
}

// ISO-2022-JP bodies made of escapes (redundant, empty or misplaced ones among them), line
// breaks, stray 8-bit bytes and the pieces of the words: the filter must let through every
// part whose text holds the word.
void CheckJisFilter(fuzz::FuzzInput& input) {
    static const char* const kPieces[] = {"a",      "b",      " ",        "8!",       ":w",
                                          "\x1b$B", "\x1b$@", "\x1b(B",   "\x1b(J",   "\x1b(I",
                                          "\r\n",   "\x1b",   "\x8c\x9f", "\x8d\xf5", "1"};
    constexpr std::size_t kPieceCount = sizeof kPieces / sizeof kPieces[0];
    const bool labelled = input.TakeByte() % 2 == 0;
    std::string word = kAlphabet[input.TakeByte() % 5];
    word += kAlphabet[input.TakeByte() % 5];
    std::string mail = labelled
                           ? "Subject: x\r\nContent-Type: text/plain; charset=iso-2022-jp\r\n\r\n"
                           : "Subject: x\r\n\r\n\x1b$B";
    for (const char c : input.TakeRest()) {
        mail += kPieces[static_cast<unsigned char>(c) % kPieceCount];
    }
    fuzz::Check(mime::CountInMail(mail, mime::DecodedNeedle(word)) ==
                    CountInTexts(mime::TextsOfMail(mail, word), word),
                "the filter lets every ISO-2022-JP part holding the word through");
}

// Bodies in a charset made of the word's letters in that charset and stray bytes: the
// filter chosen for the charset must let every part holding the word through.
void CheckCharsetFilter(fuzz::FuzzInput& input) {
    static const char* const kNames[] = {"shift_jis", "euc-jp",  "utf-8",       "iso-8859-1",
                                         "big5",      "gb18030", "koi8-r",      "ibm037",
                                         "utf7",      "ucs-2",   "iso-2022-kr", "hz-gb-2312"};
    const char* const name = kNames[input.TakeByte() % (sizeof kNames / sizeof kNames[0])];
    std::string word = kAlphabet[input.TakeByte() % 5];
    word += kAlphabet[input.TakeByte() % 5];
    std::string mail =
        "Subject: x\r\nContent-Type: text/plain; charset=" + std::string(name) + "\r\n\r\n";
    std::string letter;
    for (const char c : input.TakeRest()) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0xC0 && Encode(kAlphabet[byte % 5], name, letter)) {
            mail += letter;
        } else {
            mail += c;
        }
    }
    fuzz::Check(mime::CountInMail(mail, mime::DecodedNeedle(word)) ==
                    CountInTexts(mime::TextsOfMail(mail, word), word),
                "the filter lets every part in the charset holding the word through");
}

void CheckAgainstGMime(fuzz::FuzzInput& input) {
    static const char* const kCharsets[] = {"utf-8", "iso-2022-jp", "shift_jis", "euc-jp"};
    static const char* const kIconv[] = {"UTF-8", "ISO-2022-JP", "CP932", "EUC-JP-MS"};
    const int charset = input.TakeByte() % 4;
    const int encoding = input.TakeByte() % 3;
    const bool multipart = input.TakeByte() % 2 == 0;
    std::string word = kAlphabet[input.TakeByte() % (kLetters - 1)];
    word += kAlphabet[input.TakeByte() % (kLetters - 1)];
    std::string subject, body;
    // GMime decodes encoded words through iconv's own Japanese tables, which lack the CP932
    // extensions (①): subjects keep to the characters both readers have.
    for (int i = input.TakeByte() % 12; i > 0; --i) {
        const char* letter = kAlphabet[input.TakeByte() % (kLetters - 1)];
        subject += std::string_view(letter) == "①" ? "a" : letter;
    }
    for (const char c : input.TakeRest()) {
        body += kAlphabet[static_cast<unsigned char>(c) % kLetters];
    }
    std::string subjectBytes, bodyBytes;
    if (!Encode(subject, kIconv[charset], subjectBytes) ||
        !Encode(body, kIconv[charset], bodyBytes)) {
        return;  // a character with no form in this charset
    }
    std::string mail = "From: f@example.jp\r\nSubject: =?" + std::string(kCharsets[charset]) +
                       "?B?" + Base64(subjectBytes, false) + "?=\r\nMIME-Version: 1.0\r\n";
    std::string part = "Content-Type: text/plain; charset=" + std::string(kCharsets[charset]) +
                       "\r\nContent-Transfer-Encoding: ";
    if (encoding == 0) {
        part += (charset == 1 ? "7bit\r\n\r\n" : "8bit\r\n\r\n") + Crlf(bodyBytes);
    } else if (encoding == 1) {
        part += "base64\r\n\r\n" + Base64(bodyBytes, true);
    } else {
        part += "quoted-printable\r\n\r\n" + QuotedPrintable(bodyBytes);
    }
    if (multipart) {
        mail += "Content-Type: multipart/mixed; boundary=\"=-b\"\r\n\r\n--=-b\r\n" + part +
                "\r\n--=-b\r\nContent-Type: application/octet-stream\r\n"
                "Content-Transfer-Encoding: base64\r\n\r\n" +
                Base64(bodyBytes, true) + "\r\n--=-b--\r\n";
    } else {
        mail += part;
    }
    const std::size_t lean = mime::CountInMail(mail, mime::DecodedNeedle(word));
    const std::size_t gmime = CountInTexts(mime::ReadMailWithGMime(mail, word), word);
    if (lean != gmime) {
        std::fprintf(stderr, "word %s: lean %zu, GMime %zu in\n%s\n", word.c_str(), lean, gmime,
                     mail.c_str());
    }
    fuzz::Check(lean == gmime, "the lean scanner counts what GMime reads");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::FuzzInput input(data, size);
    switch (input.TakeByte() % 4) {
        case 0:
            CheckFiltersHideNothing(input);
            break;
        case 1:
            CheckAgainstGMime(input);
            break;
        case 2:
            CheckJisFilter(input);
            break;
        default:
            CheckCharsetFilter(input);
            break;
    }
    return 0;
}
