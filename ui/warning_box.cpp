// The warning box and its replaceable presenter.
#include "ui/warning_box.h"

#include <QMessageBox>
#include <utility>

#include "decode/safe_text.h"
#include "engine/messages.h"

namespace tarsel {

namespace {

WarningPresenter& Presenter() {
    static WarningPresenter presenter;
    return presenter;
}

}  // namespace

void ExecWarningMessageBox(QWidget* owner, const QString& text) {
    // The messages carry CR LF line breaks; a label breaks lines at LF alone.
    // A file's name in one has its hidden format controls made visible, as in the file-name
    // field, and markup in it is shown as it is written.
    QStringList lines = text.split(QStringLiteral("\r\n"));
    for (QString& line : lines) {
        line = QString::fromStdString(ShownOnOneLine(line.toStdString()));
    }
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(msg::kTitle),
                    lines.join(QLatin1Char('\n')), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

void ShowWarningBox(QWidget* owner, const QString& text) {
    if (Presenter()) {
        Presenter()(owner, text);
    } else {
        ExecWarningMessageBox(owner, text);
    }
}

WarningPresenter SetWarningPresenter(WarningPresenter presenter) {
    return std::exchange(Presenter(), std::move(presenter));
}

}  // namespace tarsel
