// Generator of realistic mail archives: the archive-level loop over mails and the size limit.
#include "bench/archive_generator.h"

#include <string_view>

#include "bench/archive_generator_mail.h"

namespace tarsel {
namespace {

// Mails average about 1.3 KB; the estimate only spreads the dates.
constexpr std::uint64_t kTypicalMailBytes = 1300;

// The longest prefix of whole lines, each ending in `end`, that fits in `room` bytes.
std::string_view WholeLines(std::string_view body, std::size_t room, std::string_view end) {
    if (body.size() <= room) {
        return body;
    }
    if (room < end.size()) {
        return {};
    }
    const std::size_t last = body.rfind(end, room - end.size());
    return last == std::string_view::npos ? std::string_view() : body.substr(0, last + end.size());
}

}  // namespace

std::string GenerateArchive(const ArchiveOptions& options) {
    const bool bySize = options.targetBytes != 0;
    const std::size_t expected =
        bySize ? static_cast<std::size_t>(options.targetBytes / kTypicalMailBytes + 1)
               : options.mailCount;
    archive::MailComposer composer(options, expected);
    std::string out;
    out.reserve(bySize ? options.targetBytes : options.mailCount * kTypicalMailBytes * 5 / 4);
    if (!bySize) {
        for (std::size_t i = 0; i < options.mailCount; ++i) {
            archive::GeneratedMail mail = composer.Next();
            out += mail.head;
            out += mail.body;
        }
        return out;
    }
    for (;;) {
        archive::GeneratedMail mail = composer.Next();
        const std::uint64_t room = options.targetBytes - out.size();
        if (mail.head.size() + mail.body.size() <= room) {
            out += mail.head;
            out += mail.body;
            continue;
        }
        if (mail.head.size() <= room) {
            out += mail.head;
            out += WholeLines(mail.body, static_cast<std::size_t>(room - mail.head.size()),
                              mail.lineEnd);
        }
        return out;
    }
}

}  // namespace tarsel
