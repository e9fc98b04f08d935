// Files dropped onto a pane.
#include "ui/file_drop.h"

#include <fcntl.h>
#include <unistd.h>
#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

#include <algorithm>
#include <string_view>
#include <system_error>

#include "engine/search_controller.h"
#include "ui/input_view.h"

namespace tarsel {

std::filesystem::path FirstDroppedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls()) {
        return {};
    }
    for (const QUrl& url : mime->urls()) {
        if (url.isLocalFile()) {
            const QByteArray native = QFile::encodeName(url.toLocalFile());
            return std::filesystem::path(std::string(native.constData(), native.size()));
        }
    }
    return {};
}

namespace {

// Whether the file begins as an archive does: with the mail mark (its NUL bytes read as blanks
// as a load does), or with the From_ line of an mbox.
bool BeginsAsArchive(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NONBLOCK);
    if (fd < 0) {
        return false;
    }
    char head[5] = {};
    const ssize_t got = ::pread(fd, head, sizeof head, 0);
    ::close(fd);
    const bool mark =
        got >= 3 && head[0] == '\x7F' && (head[1] == ' ' || head[1] == '\0') && head[2] == '\x7F';
    return mark || (got == 5 && std::string_view(head, 5) == "From ");
}

}  // namespace

std::vector<std::filesystem::path> ArchivesOf(const std::vector<std::filesystem::path>& paths,
                                              bool* folders) {
    std::vector<std::filesystem::path> archives;
    for (const std::filesystem::path& path : paths) {
        std::error_code error;
        if (!std::filesystem::is_directory(path, error)) {
            archives.push_back(path);
            continue;
        }
        if (folders != nullptr) {
            *folders = true;
        }
        for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
            std::error_code kind;
            if (entry.is_regular_file(kind) && BeginsAsArchive(entry.path())) {
                archives.push_back(entry.path());
            }
        }
    }
    std::sort(archives.begin(), archives.end());
    archives.erase(std::unique(archives.begin(), archives.end()), archives.end());
    return archives;
}

std::vector<std::filesystem::path> DroppedArchives(const QMimeData* mime, bool* folders) {
    std::vector<std::filesystem::path> paths;
    if (mime != nullptr && mime->hasUrls()) {
        for (const QUrl& url : mime->urls()) {
            if (url.isLocalFile()) {
                const QByteArray native = QFile::encodeName(url.toLocalFile());
                paths.emplace_back(std::string(native.constData(), native.size()));
            }
        }
    }
    return ArchivesOf(paths, folders);
}

std::string FileNameOf(const std::filesystem::path& path) {
    const std::string& whole = path.native();
    const std::size_t slash = whole.rfind('/');
    return slash == std::string::npos ? whole : whole.substr(slash + 1);
}

bool TakesFileDrop(const QMimeData* mime, const CSearchController* controller) {
    if (controller != nullptr && controller->IsPhaseRunning()) {
        return false;
    }
    return !FirstDroppedFile(mime).empty();
}

void AcceptFileDrag(QDropEvent* event, const CSearchController* controller) {
    if (TakesFileDrop(event->mimeData(), controller)) {
        event->acceptProposedAction();
    }
}

void DeliverFileDrop(QDropEvent* event, CInputView* input, const CSearchController* controller) {
    if (!TakesFileDrop(event->mimeData(), controller)) {
        return;
    }
    event->acceptProposedAction();
    bool folders = false;
    const std::vector<std::filesystem::path> archives =
        DroppedArchives(event->mimeData(), &folders);
    input->OnDropFiles(archives, folders);
}

}  // namespace tarsel
