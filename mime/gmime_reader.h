// One mail as GMime reads it: the decoded Subject and From and the text parts a reader is
// shown, as UTF-8. Used where one mail at a time is decoded (the mail pane, the rows of a
// page) and as the independent reader the lean scanner is tested against.
#pragma once

#include <string_view>

#include "mime/decoded_search.h"

namespace tarsel::mime {

// mail is the text after the mail mark; holds (or search, UTF-8) chooses among alternatives as
// in TextsOfMail. Safe to call from several threads at once.
MailTexts ReadMailWithGMime(std::string_view mail, const TextHolds& holds);
MailTexts ReadMailWithGMime(std::string_view mail, std::string_view search = {});

}  // namespace tarsel::mime
