// Loading the GMime module on first use.
#include "mime/shown_texts.h"

#include <dlfcn.h>

#include <string>
#include <vector>

#include "mime/gmime_module.h"
#include "mime/header_fields.h"
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

// GMime keeps an object for every MIME part, header field and encoded word it reads: a mail of
// a million tiny parts took it seconds and more than a gigabyte, one of a million header lines
// half a gigabyte for 8 MB, and a subject of half a million encoded words 75 MB for 8 MB. A
// mail with more of them than any real mail has is shown as the lean scanner reads it, which
// is what the search counts in.
constexpr std::size_t kMaxStructureLines = 10000;
constexpr std::size_t kMaxEncodedWords = 100000;

// "--" at the start, or a field name (printable bytes but the colon) and its colon.
bool MayOpenPartOrField(std::string_view line) {
    if (line.substr(0, 2) == "--") {
        return true;
    }
    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<unsigned char>(line[i]);
        if (byte == ':') {
            return i > 0;
        }
        if (byte <= ' ' || byte >= 0x7F) {
            return false;
        }
    }
    return false;
}

bool IsTooBigForGMime(std::string_view mail) {
    std::size_t words = 0;
    for (std::size_t at = FindBytes(mail, "=?"); at != std::string_view::npos;
         at = FindBytes(mail, "=?", at + 2)) {
        if (++words > kMaxEncodedWords) {
            return true;
        }
    }
    std::size_t lines = 0;
    for (std::size_t start = 0; start < mail.size();) {
        const std::size_t end = mail.find('\n', start);
        const std::string_view line =
            mail.substr(start, end == std::string_view::npos ? mail.npos : end - start);
        if (MayOpenPartOrField(line) && ++lines > kMaxStructureLines) {
            return true;
        }
        start = end == std::string_view::npos ? mail.size() : end + 1;
    }
    return false;
}

}  // namespace

MailTexts ShownTextsOfMail(std::string_view mail) {
    static const TarselReadMailFn read = LoadReader();
    std::string withLineFeeds;
    mail = WithLineFeeds(mail, withLineFeeds);
    if (read == nullptr || IsTooBigForGMime(mail)) {
        return TextsOfMail(mail);
    }
    MailTexts texts;
    read(mail.data(), mail.size(), &texts);
    return texts;
}

}  // namespace tarsel::mime
