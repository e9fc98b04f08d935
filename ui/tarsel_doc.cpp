// The mail pane's document.
#include "ui/tarsel_doc.h"

#include <QFile>
#include <QFileInfo>
#include <QPlainTextDocumentLayout>
#include <QStringDecoder>
#include <algorithm>
#include <utility>

#include "decode/safe_text.h"
#include "ui/quit_signals.h"
#include "ui/window_texts.h"

namespace tarsel {

namespace {
int g_untitledCount = 0;
}

CTarselDoc::CTarselDoc(QObject* parent)
    : QTextDocument(parent),
      m_title(QString::fromUtf8(ui_text::kDocumentBaseName) + QString::number(++g_untitledCount)) {
    // Lays out only the lines in view: a mail of a hundred megabytes costs no more to show
    // than a short one.
    setDocumentLayout(new QPlainTextDocumentLayout(this));
    connect(this, &QTextDocument::contentsChange, this, &CTarselDoc::OnContentsChange);
}

void CTarselDoc::ShowMailBody(MailBody body, const QTextCharFormat& format,
                              const std::function<bool()>& stop, const MailBody& head) {
    m_bFilling = true;
    m_redRuns = FillMailDocument(this, std::move(body), format, stop, head);
    m_bFilling = false;
}

void CTarselDoc::clear() {
    m_redRuns.clear();
    QTextDocument::clear();
}

void CTarselDoc::OnContentsChange(int position, int removed, int added) {
    if (m_bFilling || m_redRuns.empty()) {
        return;
    }
    if (added >= characterCount() - 1) {
        m_redRuns.clear();  // new text throughout (set as a whole): no hit of the mail is left
        return;
    }
    const int shift = added - removed;
    std::vector<TextRun> kept;
    kept.reserve(m_redRuns.size());
    for (TextRun run : m_redRuns) {
        const int end = run.start + run.length;
        if (end <= position) {
            kept.push_back(run);
        } else if (run.start >= position + removed) {
            run.start += shift;
            kept.push_back(run);
        } else if (removed == 0 && run.start < position) {
            run.length += added;  // typed inside a red run: the run grows, as a format would
            kept.push_back(run);
        }
    }
    m_redRuns.swap(kept);
}

bool CTarselDoc::SaveModified() {
    setModified(false);
    return true;
}

bool CTarselDoc::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    // Read straight into the body and checked in slices: a large file is held only once
    // beside the document.
    MailBody body;
    body.text.resize(std::size_t(std::max<qint64>(file.size(), 0)));
    const qint64 read = file.read(body.text.data(), qint64(body.text.size()));
    if (read < 0 || file.error() != QFileDevice::NoError) {
        return false;
    }
    body.text.resize(std::size_t(read));
    QStringDecoder utf8(QStringDecoder::Utf8);
    for (std::size_t at = 0; at < body.text.size() && !utf8.hasError(); at += kMailPieceBytes) {
        const std::size_t size = std::min(kMailPieceBytes, body.text.size() - at);
        [[maybe_unused]] const QString slice =
            utf8(QByteArrayView(body.text.data() + at, qsizetype(size)));
    }
    body.utf8 = !utf8.hasError();
    QTextCharFormat format;
    format.setFont(defaultFont());
    const bool undo = isUndoRedoEnabled();
    setUndoRedoEnabled(false);
    ShowMailBody(std::move(body), format, [] { return TerminationRequested(); });
    setUndoRedoEnabled(undo);
    setModified(false);
    // The title reads as the file-name field does: hidden format controls made visible.
    m_title = QString::fromStdString(ShownOnOneLine(QFileInfo(path).fileName().toStdString()));
    return true;
}

}  // namespace tarsel
