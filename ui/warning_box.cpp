// The warning box and its replaceable presenter.
#include "ui/warning_box.h"

#include <QMessageBox>
#include <utility>

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
    QString shown = text;
    shown.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QMessageBox box(QMessageBox::Warning, QString::fromUtf8(msg::kTitle), shown, QMessageBox::Ok,
                    owner);
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
