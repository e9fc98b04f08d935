// The transfer decoders of part bodies: whole blocks and the groups, breaks and padding around
// them decode alike wherever they fall.
#include "mime/transfer.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>

namespace tarsel::mime {
namespace {

std::string Base64(std::string_view text) {
    std::string out;
    DecodeBase64To(text, out);
    return out;
}

std::string QuotedPrintable(std::string_view text, bool header = false) {
    std::string out;
    DecodeQuotedPrintableTo(text, out, header);
    return out;
}

// Base64 as a writer makes it, lines of lineLength characters ending in lineEnd.
std::string EncodeBase64(std::string_view bytes, std::size_t lineLength, std::string_view lineEnd) {
    constexpr std::string_view alphabet =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
    std::string flat;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned group = static_cast<unsigned char>(bytes[i]) << 16;
        const std::size_t n = std::min<std::size_t>(3, bytes.size() - i);
        for (std::size_t k = 1; k < n; ++k) {
            group |= static_cast<unsigned>(static_cast<unsigned char>(bytes[i + k]))
                     << (16 - 8 * k);
        }
        for (std::size_t k = 0; k < 4; ++k) {
            flat += k <= n ? alphabet[(group >> (18 - 6 * k)) & 63] : '=';
        }
    }
    std::string lines;
    for (std::size_t i = 0; i < flat.size(); i += lineLength) {
        lines += flat.substr(i, lineLength).append(lineEnd);
    }
    return lines;
}

std::string AllBytes(std::size_t count) {
    std::string bytes;
    for (std::size_t i = 0; i < count; ++i) {
        bytes += static_cast<char>((i * 37 + 11) & 0xFF);
    }
    return bytes;
}

TEST(TransferTest, DecodesBase64Groups) {
    const struct {
        std::string_view text, bytes;
    } cases[] = {
        {"", ""},
        {"TQ==", "M"},
        {"TWE=", "Ma"},
        {"TWFu", "Man"},
        {"TW", "M"},                                    // a group cut short
        {"TWFuTWFuTWFuTWFu", "ManManManMan"},           // one block of sixteen
        {"TWFuTWFuTWFuTWF=TWFu", "ManManManMa"},        // padding inside a block ends it
        {"TWFuTWFuTWFuTW\nFuTWFu", "ManManManManMan"},  // a break inside a block
        {"TWFu*WFuTWFuTWFuTWFuTWFu", "ManX[\x93X[\x93X[\x93X[\x93X["},  // a stray byte is skipped
        {"TWFuTWFuTWFuTWF\x80uTWFu", "ManManManManMan"},                // an 8-bit byte too
        {"TWFuTWFu\r\nTWFuTWFu=TWFuTWFuTWFu", "ManManManMan"},          // padding after a break
        {"TWFu\n\n\n\nTWFuTWFuTWFuTWFuTWFu", "ManManManManManMan"},
        {"////++++////++++", "\xFF\xFF\xFF\xFB\xEF\xBE\xFF\xFF\xFF\xFB\xEF\xBE"},
        {"AAAAAAAAAAAAAAAA9999", std::string_view("\0\0\0\0\0\0\0\0\0\0\0\0\xF7\xDF\x7D", 15)},
        // The same edges for blocks of thirty-two: a break at the first byte, padding at the last.
        {"\nTWFuTWFuTWFuTWFuTWFuTWFuTWFuTWFuTWFu", "ManManManManManManManManMan"},
        {"TWFuTWFuTWFuTWFuTWFuTWFuTWFuTWF=TWFuTWFu", "ManManManManManManManMa"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Base64(c.text), c.bytes) << c.text;
    }
}

TEST(TransferTest, DecodesBase64AcrossLineBreaks) {
    // Every length of line and of text around the sixteen and thirty-two characters of a block.
    for (const std::string_view lineEnd : {"\r\n", "\n", " \r\n"}) {
        for (const std::size_t lineLength : {4u, 15u, 16u, 17u, 31u, 32u, 33u, 60u, 76u}) {
            for (std::size_t size = 0; size < 100; ++size) {
                const std::string bytes = AllBytes(size);
                EXPECT_EQ(Base64(EncodeBase64(bytes, lineLength, lineEnd)), bytes)
                    << "line " << lineLength << ", size " << size;
            }
        }
    }
}

TEST(TransferTest, DecodesQuotedPrintableRuns) {
    const struct {
        std::string_view text, bytes;
        bool header;
    } cases[] = {
        {"", "", false},
        {"=E6=A4=9C=E7=B4=A2", "\xE6\xA4\x9C\xE7\xB4\xA2", false},
        {"=e6=a4=9c=e7=b4=a2=", "\xE6\xA4\x9C\xE7\xB4\xA2", false},  // a soft break at the end
        {"=E6=A4=9C=E7=B4=A2=E6", "\xE6\xA4\x9C\xE7\xB4\xA2\xE6", false},
        {"=E6=A4=9C=E7=B4=A2=E", "\xE6\xA4\x9C\xE7\xB4\xA2=E", false},  // "=" without two digits
        {"=E6=A4=9C=E7=G4=A2=E6", "\xE6\xA4\x9C\xE7=G4\xA2\xE6", false},
        {"=E6=A4=9C=E7=B4A2=E6=A4",
         "\xE6\xA4\x9C\xE7\xB4"
         "A2\xE6\xA4",
         false},
        {"=E6=A4=\r\n=9C=E7=B4=A2", "\xE6\xA4\x9C\xE7\xB4\xA2", false},
        {"=E6=A4=9C=E7=B4=\n=A2=E6", "\xE6\xA4\x9C\xE7\xB4\xA2\xE6", false},
        {"=E6=A4=9C=E7=B4  \r\n=A2", "\xE6\xA4\x9C\xE7\xB4\r\n\xA2", false},  // padding goes
        {"=E6=A4=9C=E7=B4 =A2=E6=A4", "\xE6\xA4\x9C\xE7\xB4 \xA2\xE6\xA4", false},
        {"a_b=5F=E6=A4=9C=E7=B4=A2", "a b_\xE6\xA4\x9C\xE7\xB4\xA2", true},
        {"a_b c", "a_b c", false},
        {"=E6=A4=9C=E7=B4=A2=\r\n=E6=A4=9C=E7=B4=A2=\n=E6=A4=9C=E7=B4=A2=\rx",
         "\xE6\xA4\x9C\xE7\xB4\xA2\xE6\xA4\x9C\xE7\xB4\xA2\xE6\xA4\x9C\xE7\xB4\xA2=\rx", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(QuotedPrintable(c.text, c.header), c.bytes) << c.text;
    }
}

TEST(TransferTest, DecodesQuotedPrintableAcrossSoftBreaks) {
    // Every byte written as "=XX", with a soft break after every n of them.
    const char* const digits = "0123456789ABCDEF";
    const std::string bytes = AllBytes(256);
    for (const std::string_view softBreak : {"=\r\n", "=\n", "= \r\n", "=\t\n"}) {
        for (std::size_t every = 1; every < 40; ++every) {
            std::string text;
            for (std::size_t i = 0; i < bytes.size(); ++i) {
                const auto byte = static_cast<unsigned char>(bytes[i]);
                text += {'=', digits[byte >> 4], digits[byte & 15]};
                if ((i + 1) % every == 0) {
                    text += softBreak;
                }
            }
            EXPECT_EQ(QuotedPrintable(text), bytes) << "a break every " << every;
        }
    }
}

}  // namespace
}  // namespace tarsel::mime
