// Cutting one mail out of the loaded chunks.
#pragma once

#include <string>

namespace tarsel {

// The text of mail m: from its mark to the next mark, or to the end of the file for the
// last mail, across every chunk it spans.
std::string MailText(int m);

}  // namespace tarsel
