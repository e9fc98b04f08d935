// Files dropped onto a pane.
#include "ui/file_drop.h"

#include <QDropEvent>
#include <QFile>
#include <QMimeData>
#include <QUrl>

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
    input->OnDropFiles(FirstDroppedFile(event->mimeData()));
}

}  // namespace tarsel
