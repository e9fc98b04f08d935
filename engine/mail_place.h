// Where a matching mail lies in its archive, so that it can be read again once the archive's
// bytes are gone: from its mark or From_ line to the next one (or the end of the file).
#pragma once

#include <cstdint>
#include <string>

namespace tarsel {

struct MailPlace {
    std::string path;
    std::int64_t start = 0;
    std::int64_t end = 0;
};

}  // namespace tarsel
