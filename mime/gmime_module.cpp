// The GMime reader as a module that programs load when they first show a decoded mail.
// GMime and the GLib libraries under it take milliseconds to load and start, which a
// command-line search that never shows a decoded mail should not pay.
#include "mime/gmime_module.h"
#include "mime/gmime_reader.h"

extern "C" __attribute__((visibility("default"))) void tarsel_read_mail_with_gmime(
    const char* mail, std::size_t size, const tarsel::mime::TextHolds* holds,
    tarsel::mime::MailTexts* out) {
    *out = tarsel::mime::ReadMailWithGMime(std::string_view(mail, size), *holds);
}
