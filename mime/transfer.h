// Undoing a MIME transfer encoding (base64, quoted-printable) into a caller's buffer, so a
// scan over many mails reuses one buffer instead of allocating per part.
#pragma once

#include <string>
#include <string_view>

namespace tarsel::mime {

enum class TransferEncoding { kIdentity, kBase64, kQuotedPrintable };

// The encoding named by a Content-Transfer-Encoding value; 7bit, 8bit, binary and names we
// do not know leave the bytes as they are.
TransferEncoding TransferEncodingOf(std::string_view value);

// Replaces out by the decoded bytes. Base64 skips every byte outside its alphabet (line
// breaks included) and stops at the first "="; quoted-printable drops soft line breaks and
// the blanks that end a line, and keeps an "=" that is not followed by two hex digits.
void DecodeBase64To(std::string_view text, std::string& out);
void DecodeQuotedPrintableTo(std::string_view text, std::string& out, bool header = false);

// The same into the front of buffer, which only grows (its bytes beyond the decoded ones are
// left as they are): the decoded bytes, a view into buffer. A scan over many parts then never
// zeroes a part's room before writing it.
std::string_view DecodeBase64In(std::string_view text, std::string& buffer);
std::string_view DecodeQuotedPrintableIn(std::string_view text, std::string& buffer,
                                         bool header = false);

}  // namespace tarsel::mime
