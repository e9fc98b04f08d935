// Loading the GMime module on first use.
#include "mime/shown_texts.h"

#include <dlfcn.h>

#include <algorithm>
#include <string>
#include <vector>

#include "decode/utf8.h"
#include "mime/charset.h"
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

// GMime keeps an object for every MIME part, header field, parameter, address and encoded
// word it reads: a mail of a million tiny parts took it seconds and more than a gigabyte, 9 MB
// of one-byte fields a gigabyte and a half, one field of millions of parameters or addresses
// as much, and where memory is limited GLib ends the process when an allocation fails. A mail
// with more of them than any real mail has is shown as the lean scanner reads it, which is
// what the search counts in.
//
// The header blocks are found as GMime finds them, without knowing which lines are really
// delimiters: every line that begins with "--" may open a part and its header block, which
// ends at an empty line; so does the mail's own block, and after it the block of a message
// that a part encloses (a message type, or no type in a digest). In a block, every line that
// does not begin with a blank begins a field, whatever it holds: GMime keeps a field for a
// name of 8-bit bytes, for blanks before the colon and for no name at all. Each line is looked
// at once, and only the lines of header blocks beyond their first two bytes.
class GMimeLoad {
  public:
    explicit GMimeLoad(std::string_view mail) : mail_(mail) {}

    bool TooBig() {
        using namespace gmime_bounds;
        std::size_t words = 0;
        for (std::size_t at = FindBytes(mail_, "=?"); at != std::string_view::npos;
             at = FindBytes(mail_, "=?", at + 2)) {
            if (++words > kEncodedWords) {
                return true;
            }
        }
        for (std::size_t start = 0; start < mail_.size();) {
            const std::size_t end = std::min(mail_.find('\n', start), mail_.size());
            if (!Line(start, end)) {
                return true;
            }
            start = end + 1;
        }
        return !EndField(mail_.size());
    }

  private:
    // Takes the line [start, end); false once a bound is passed.
    bool Line(std::size_t start, std::size_t end) {
        using namespace gmime_bounds;
        const std::string_view line = mail_.substr(start, end - start);
        if (line.starts_with("--")) {
            const bool within = EndField(start);
            OpenBlock(true);
            return within && ++structureLines_ <= kStructureLines;
        }
        if (!inBlock_) {
            return true;
        }
        if (line.empty() || line == "\r") {
            const bool within = EndField(start);
            const bool enclosed = enclosesMessage_ || (digest_ && partBlock_ && !typed_);
            inBlock_ = false;
            if (enclosed) {
                OpenBlock(false);
            }
            return within;
        }
        if (line[0] != ' ' && line[0] != '\t') {
            if (!EndField(start)) {
                return false;
            }
            fieldStart_ = start;
            ++structureLines_;
        }
        blockBytes_ += line.size() + 1;
        headerBytes_ += line.size() + 1;
        fieldBytes_ += line.size() + 1;
        // Addresses and parameters: a comma or a semicolon before each but the first.
        const auto commas = static_cast<std::size_t>(std::count(line.begin(), line.end(), ','));
        const auto items =
            commas + static_cast<std::size_t>(std::count(line.begin(), line.end(), ';'));
        fieldCommas_ += commas;
        fieldItems_ += items;
        headerItems_ += items;
        return structureLines_ <= kStructureLines && blockBytes_ <= kBlockBytes &&
               headerBytes_ <= kHeaderBytes && fieldItems_ <= kFieldItems &&
               headerItems_ <= kHeaderItems;
    }

    void OpenBlock(bool part) {
        inBlock_ = true;
        partBlock_ = part;
        typed_ = false;
        enclosesMessage_ = false;
        blockBytes_ = 0;
        fieldStart_ = std::string_view::npos;
    }

    // Ends the field that ends at end, if any: false when it passes a bound. Notes what its
    // block's type says of the text after the block.
    bool EndField(std::size_t end) {
        if (fieldStart_ == std::string_view::npos) {
            return true;
        }
        std::string_view field = mail_.substr(fieldStart_, end - fieldStart_);
        fieldStart_ = std::string_view::npos;
        // GMime's reading of an address list it finds fault with goes over the rest of the
        // field for each address: the time grows with both.
        addressWork_ += fieldCommas_ * fieldBytes_;
        fieldBytes_ = fieldCommas_ = fieldItems_ = 0;
        constexpr std::string_view kName = "Content-Type";
        if (StartsWithNoCase(field, kName)) {
            field.remove_prefix(kName.size());
            while (!field.empty() && (field[0] == ' ' || field[0] == '\t')) {
                field.remove_prefix(1);
            }
            if (!field.empty() && field[0] == ':') {
                typed_ = true;
                enclosesMessage_ = enclosesMessage_ || ContainsNoCase(field, "message/");
                digest_ = digest_ || ContainsNoCase(field, "digest");
            }
        }
        return addressWork_ <= gmime_bounds::kAddressWork;
    }

    static bool ContainsNoCase(std::string_view text, std::string_view word) {
        for (std::size_t i = 0; i + word.size() <= text.size(); ++i) {
            if (EqualsNoCase(text.substr(i, word.size()), word)) {
                return true;
            }
        }
        return false;
    }

    std::string_view mail_;
    bool inBlock_ = true;  // the mail's own header block comes first
    bool partBlock_ = false;
    bool typed_ = false;            // the block has a Content-Type field
    bool enclosesMessage_ = false;  // its type is a message's: a header block follows it
    bool digest_ = false;           // a digest's parts without a type are messages
    std::size_t fieldStart_ = std::string_view::npos;
    std::size_t structureLines_ = 0, blockBytes_ = 0, headerBytes_ = 0;
    std::size_t fieldBytes_ = 0, fieldCommas_ = 0, fieldItems_ = 0, headerItems_ = 0;
    std::size_t addressWork_ = 0;
};

void MakeUtf8(std::string& text) {
    if (!IsValidUtf8(text)) {
        std::string checked;
        AppendUtf8(text, Charset::kUtf8, {}, checked);
        text = std::move(checked);
    }
}

}  // namespace

MailTexts ShownTextsOfMail(std::string_view mail, std::string_view search) {
    return WithSearchHolds(search,
                           [&](const TextHolds& holds) { return ShownTextsOfMail(mail, holds); });
}

MailTexts ShownTextsOfMail(std::string_view mail, const TextHolds& holds) {
    static const TarselReadMailFn read = LoadReader();
    std::string withLineFeeds;
    mail = WithLineFeeds(mail, withLineFeeds);
    if (read == nullptr || GMimeLoad(mail).TooBig()) {
        return TextsOfMail(mail, holds);
    }
    MailTexts texts;
    read(mail.data(), mail.size(), &holds, &texts);
    // GMime passes on bytes that it could not convert, and takes some that are no UTF-8 for
    // UTF-8: each such byte is shown as U+FFFD, as the lean scanner shows it.
    for (std::string* text : {&texts.subject, &texts.from}) {
        MakeUtf8(*text);
    }
    for (std::string& part : texts.parts) {
        MakeUtf8(part);
    }
    return texts;
}

}  // namespace tarsel::mime
