// The interface between the programs and the module that holds the GMime reader.
#pragma once

#include <cstddef>

#include "mime/decoded_search.h"

// The module's file name, found through the program's library search path.
inline constexpr const char* kTarselGMimeModule = "tarsel-gmime.so";

// The module's one entry: ReadMailWithGMime of the size bytes at mail with holds, stored in out.
extern "C" {
using TarselReadMailFn = void (*)(const char* mail, std::size_t size,
                                  const tarsel::mime::TextHolds* holds,
                                  tarsel::mime::MailTexts* out);
}
inline constexpr const char* kTarselReadMailSymbol = "tarsel_read_mail_with_gmime";
