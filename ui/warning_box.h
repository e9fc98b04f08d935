// The modal warning box of the search ("警告", warning icon, OK), behind a replaceable
// presenter so that automated runs can answer it without a person at the screen.
#pragma once

#include <QString>
#include <functional>

class QWidget;

namespace tarsel {

// Shows text (UTF-8 message of the system) for owner and returns once it is dismissed.
using WarningPresenter = std::function<void(QWidget* owner, const QString& text)>;

// Shows a warning through the current presenter.
void ShowWarningBox(QWidget* owner, const QString& text);

// Replaces the presenter; an empty function restores the message box. Returns the old one.
WarningPresenter SetWarningPresenter(WarningPresenter presenter);

// The message box itself: title "警告", warning icon, one OK button, modal.
void ExecWarningMessageBox(QWidget* owner, const QString& text);

}  // namespace tarsel
