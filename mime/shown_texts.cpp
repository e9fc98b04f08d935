// Loading the GMime module on first use.
#include "mime/shown_texts.h"

#include <dlfcn.h>

#include <string>
#include <vector>

#include "mime/gmime_module.h"
#include "mime/text_util.h"

namespace tarsel::mime {
namespace {

// The module lies in a directory of the program's own library search path (its run path).
// That path is asked for and searched here rather than left to dlopen, which searches the
// run path of its caller: under a sanitizer the caller is the sanitizer's library.
void* OpenModule() {
    void* program = ::dlopen(nullptr, RTLD_NOW);
    Dl_serinfo size{};
    if (program != nullptr && ::dlinfo(program, RTLD_DI_SERINFOSIZE, &size) == 0) {
        std::vector<char> storage(size.dls_size);
        auto* paths = reinterpret_cast<Dl_serinfo*>(storage.data());
        *paths = size;
        if (::dlinfo(program, RTLD_DI_SERINFO, paths) == 0) {
            for (unsigned i = 0; i < paths->dls_cnt; ++i) {
                const std::string file =
                    std::string(paths->dls_serpath[i].dls_name) + "/" + kTarselGMimeModule;
                if (void* module = ::dlopen(file.c_str(), RTLD_NOW | RTLD_LOCAL)) {
                    return module;
                }
            }
        }
    }
    return ::dlopen(kTarselGMimeModule, RTLD_NOW | RTLD_LOCAL);
}

TarselReadMailFn LoadReader() {
    // Kept loaded for the rest of the process: GMime cannot be shut down and started again.
    void* module = OpenModule();
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<TarselReadMailFn>(::dlsym(module, kTarselReadMailSymbol));
}

// GMime keeps an object for every MIME part it reads: a mail of a million tiny parts took it
// seconds and more than a gigabyte. A mail with more lines that may open a part than any real
// mail has is shown as the lean scanner reads it, which is what the search counts in.
constexpr std::size_t kMaxPartLines = 10000;

bool HasTooManyPartLines(std::string_view mail) {
    std::size_t lines = 0;
    for (std::size_t at = FindBytes(mail, "\n--"); at != std::string_view::npos;
         at = FindBytes(mail, "\n--", at + 3)) {
        if (++lines > kMaxPartLines) {
            return true;
        }
    }
    return false;
}

}  // namespace

MailTexts ShownTextsOfMail(std::string_view mail) {
    static const TarselReadMailFn read = LoadReader();
    if (read == nullptr || HasTooManyPartLines(mail)) {
        return TextsOfMail(mail);
    }
    MailTexts texts;
    read(mail.data(), mail.size(), &texts);
    return texts;
}

}  // namespace tarsel::mime
