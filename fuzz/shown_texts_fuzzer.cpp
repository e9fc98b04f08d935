// One mail as the mail pane reads it: any bytes go to ShownTextsOfMail, which hands them to
// GMime through the module the programs load (from the run path) or, past what GMime may be
// given, to the lean scanner. It must come back with texts of well-formed UTF-8.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "decode/utf8.h"
#include "fuzz/fuzz_support.h"
#include "mime/shown_texts.h"

namespace {

using namespace tarsel;

// GMime reads this subject differently from the lean scanner: the module must have loaded,
// or the run would only try the lean scanner.
bool GMimeModuleLoaded() {
    const std::string_view mail =
        "Subject: =?ISO-2022-JP?B?GyRCIVpPIk1tIVsbKEI=?=\r\n\t=?ISO-2022-JP?B?"
        "GyRCP007djBbRjAkTiQqGyhC?=\r\n\r\nbody\r\n";
    return mime::ShownTextsOfMail(mail).subject != mime::TextsOfMail(mail).subject;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool loaded = GMimeModuleLoaded();
    fuzz::Check(loaded, "the GMime module is loaded from the program's run path");
    const mime::MailTexts texts =
        mime::ShownTextsOfMail(std::string_view(reinterpret_cast<const char*>(data), size));
    bool wellFormed = IsValidUtf8(texts.subject) && IsValidUtf8(texts.from);
    for (const std::string& part : texts.parts) {
        wellFormed = wellFormed && IsValidUtf8(part);
    }
    fuzz::Check(wellFormed, "the shown texts are well-formed UTF-8");
    return 0;
}
