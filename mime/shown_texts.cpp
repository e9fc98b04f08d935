// Loading the GMime module on first use.
#include "mime/shown_texts.h"

#include <dlfcn.h>

#include "mime/gmime_module.h"

namespace tarsel::mime {
namespace {

TarselReadMailFn LoadReader() {
    // Kept loaded for the rest of the process: GMime cannot be shut down and started again.
    void* module = ::dlopen(kTarselGMimeModule, RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<TarselReadMailFn>(::dlsym(module, kTarselReadMailSymbol));
}

}  // namespace

MailTexts ShownTextsOfMail(std::string_view mail) {
    static const TarselReadMailFn read = LoadReader();
    if (read == nullptr) {
        return TextsOfMail(mail);
    }
    MailTexts texts;
    read(mail.data(), mail.size(), &texts);
    return texts;
}

}  // namespace tarsel::mime
