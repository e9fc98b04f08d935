// The mail pane's document.
#include "ui/tarsel_doc.h"

#include <QFile>
#include <QFileInfo>
#include <QStringDecoder>

#include "decode/cp932.h"
#include "ui/window_texts.h"

namespace tarsel {

namespace {
int g_untitledCount = 0;
}

CTarselDoc::CTarselDoc(QObject* parent)
    : QTextDocument(parent),
      m_title(QString::fromUtf8(ui_text::kDocumentBaseName) + QString::number(++g_untitledCount)) {}

bool CTarselDoc::SaveModified() {
    setModified(false);
    return true;
}

bool CTarselDoc::OnOpenDocument(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        return false;
    }
    QStringDecoder utf8(QStringDecoder::Utf8);
    QString text = utf8(bytes);
    if (utf8.hasError()) {
        text =
            QString::fromStdString(Cp932ToUtf8(std::string_view(bytes.constData(), bytes.size())));
    }
    setPlainText(text);
    setModified(false);
    m_title = QFileInfo(path).fileName();
    return true;
}

}  // namespace tarsel
