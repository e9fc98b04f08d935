// The texts of one mail as the decoded mode shows them: read by GMime, which is loaded
// only when the first mail is shown.
#pragma once

#include <string_view>

#include "mime/decoded_search.h"

namespace tarsel::mime {

// mail is the text after the mail mark. Safe to call from several threads at once. Where the
// GMime module cannot be loaded (a program copied without it), and for a mail of more than
// ten thousand lines that may open a MIME part or a header field or more than a hundred
// thousand encoded words, the lean scanner's texts, which the decoded search looks at, stand
// in.
MailTexts ShownTextsOfMail(std::string_view mail);

}  // namespace tarsel::mime
