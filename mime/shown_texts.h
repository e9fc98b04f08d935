// The texts of one mail as the decoded mode shows them: read by GMime, which is loaded
// only when the first mail is shown.
#pragma once

#include <cstddef>
#include <string_view>

#include "mime/decoded_search.h"

namespace tarsel::mime {

// What GMime may be given of one mail to show: within these, its objects cost the mail pane a
// fraction of a second and a few tens of megabytes. A header block is the mail's own, a part's
// or an enclosed message's, up to its empty line; a field is each of its lines that does not
// begin with a blank.
namespace gmime_bounds {
inline constexpr std::size_t kStructureLines = 10000;  // fields, and lines that begin with "--"
inline constexpr std::size_t kEncodedWords = 100000;   // "=?" anywhere in the mail
inline constexpr std::size_t kBlockBytes = 1 << 20;    // of one header block
inline constexpr std::size_t kHeaderBytes = 4 << 20;   // of all header blocks
inline constexpr std::size_t kFieldItems = 10000;      // commas and semicolons in one field
inline constexpr std::size_t kHeaderItems = 100000;    // in all header blocks
// The commas of each field times the field's bytes, summed over all fields.
inline constexpr std::size_t kAddressWork = std::size_t{1} << 27;
}  // namespace gmime_bounds

// mail is the text after the mail mark. Safe to call from several threads at once. Where the
// GMime module cannot be loaded (a program copied without it), and for a mail past the bounds
// above, the lean scanner's texts, which the decoded search looks at, stand in. holds (or
// search, UTF-8) chooses among alternatives as in TextsOfMail.
MailTexts ShownTextsOfMail(std::string_view mail, const TextHolds& holds);
MailTexts ShownTextsOfMail(std::string_view mail, std::string_view search = {});

}  // namespace tarsel::mime
