// Saving matching mails from the window.
#include "ui/mail_saving.h"

#include <QAction>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPointer>
#include <QProgressDialog>
#include <QPushButton>
#include <QTimer>
#include <algorithm>
#include <climits>
#include <utility>
#include <vector>

#include "engine/search_controller.h"
#include "ui/warning_box.h"
#include "ui/window_texts.h"

namespace tarsel {

namespace {

// A save that is over within this time shows no progress dialog at all.
constexpr int kQuietSaveMs = 500;
constexpr int kPollMs = 100;

QString Text(const char* utf8) {
    return QString::fromUtf8(utf8);
}

SaveScope AskScope(QWidget* owner, int matches) {
    QMessageBox box(QMessageBox::Question, Text(ui_text::kSaveTitle), Text(ui_text::kSaveQuestion),
                    QMessageBox::NoButton, owner);
    QPushButton* selected = box.addButton(Text(ui_text::kSaveSelected), QMessageBox::AcceptRole);
    QPushButton* all = box.addButton(
        Text(ui_text::kSaveAllBefore) + QString::number(matches) + Text(ui_text::kSaveAllAfter),
        QMessageBox::AcceptRole);
    box.addButton(Text(ui_text::kSaveCancel), QMessageBox::RejectRole);
    box.setDefaultButton(selected);
    box.exec();
    return box.clickedButton() == selected ? SaveScope::kSelected
           : box.clickedButton() == all    ? SaveScope::kAll
                                           : SaveScope::kNone;
}

QString AskFile(QWidget* owner, const QString& folder) {
    // The dialog's own question whether to replace a file would promise what the save never
    // does: a file that exists is refused by the writer, with its message.
    return QFileDialog::getSaveFileName(owner, Text(ui_text::kSaveTitle), folder,
                                        Text(ui_text::kSaveFilter), nullptr,
                                        QFileDialog::DontConfirmOverwrite);
}

SaveScopeChooser& ScopeChooser() {
    static SaveScopeChooser chooser;
    return chooser;
}

SaveFileChooser& FileChooser() {
    static SaveFileChooser chooser;
    return chooser;
}

}  // namespace

SaveScopeChooser SetSaveScopeChooser(SaveScopeChooser chooser) {
    return std::exchange(ScopeChooser(), std::move(chooser));
}

SaveFileChooser SetSaveFileChooser(SaveFileChooser chooser) {
    return std::exchange(FileChooser(), std::move(chooser));
}

CMailSaver::CMailSaver(QWidget* owner)
    : QObject(owner), m_owner(owner), m_action(new QAction(Text(ui_text::kSaveItem), this)) {
    m_action->setObjectName(QStringLiteral("saveMails"));
    m_action->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    // Only where the focus is: each document window has its own.
    m_action->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    m_action->setEnabled(false);
    connect(m_action, &QAction::triggered, this, &CMailSaver::Save);
    m_poll = new QTimer(this);
    m_poll->setInterval(kPollMs);
    connect(m_poll, &QTimer::timeout, this, [this] {
        if (m_dialog != nullptr) {
            m_dialog->setValue(static_cast<int>(
                std::min<std::size_t>(m_progress->mailsDone.load(), m_dialog->maximum())));
        }
    });
}

CMailSaver::~CMailSaver() {
    if (m_writer.joinable()) {
        m_progress->stop = true;
        m_writer.join();
    }
}

bool CMailSaver::CanSave() const {
    return m_controller != nullptr && !m_controller->IsPhaseRunning() && !IsSaving() &&
           m_controller->MatchingMailCount() > 0;
}

void CMailSaver::UpdateAction() {
    m_action->setEnabled(CanSave());
}

void CMailSaver::Save() {
    if (!CanSave()) {
        return;
    }
    const int matches = m_controller->MatchingMailCount();
    const int row = m_controller->m_nSelRow;
    const int selected = row >= 0 ? m_controller->m_nPage * kPageRows + row : -1;
    // The questions belong to the main window, which outlives the document window: that may
    // be closed while they are open, and the saver with it.
    QWidget* asking = m_owner->window();
    const QPointer<CMailSaver> alive(this);
    SaveScope scope = SaveScope::kAll;
    if (selected >= 0 && selected < matches) {
        scope = matches == 1     ? SaveScope::kSelected
                : ScopeChooser() ? ScopeChooser()(asking, matches)
                                 : AskScope(asking, matches);
    }
    if (alive.isNull() || scope == SaveScope::kNone) {
        return;
    }
    // The dialog starts beside the archive searched.
    const QString name =
        FileChooser()
            ? FileChooser()(asking)
            : AskFile(asking, QFile::decodeName(m_controller->m_strFilePath.parent_path().c_str()));
    // The dialogs run the event loop: the result is taken as it stands after them.
    if (alive.isNull() || name.isEmpty() || !CanSave() ||
        m_controller->MatchingMailCount() != matches) {
        return;
    }
    std::vector<MailPlace> mails;
    if (scope == SaveScope::kSelected) {
        mails.push_back(m_controller->MatchingMail(selected));
    } else {
        mails.reserve(static_cast<std::size_t>(matches));
        for (int position = 0; position < matches; ++position) {
            mails.push_back(m_controller->MatchingMail(position));
        }
    }
    StartWriting(QFile::encodeName(name).toStdString(), std::move(mails));
}

void CMailSaver::StartWriting(const std::string& target, std::vector<MailPlace> mails) {
    m_progress = std::make_unique<ExportProgress>();
    m_reason.clear();
    m_bWritten = false;
    // Not modal: the window stays usable while a large result is written, and its work does
    // not touch the places taken here.
    m_dialog = new QProgressDialog(Text(ui_text::kSaving), Text(ui_text::kSaveCancel), 0,
                                   static_cast<int>(std::min<std::size_t>(mails.size(), INT_MAX)),
                                   m_owner);
    m_dialog->setWindowTitle(Text(ui_text::kSaveTitle));
    m_dialog->setMinimumDuration(kQuietSaveMs);
    m_dialog->setAutoClose(false);
    m_dialog->setAutoReset(false);
    m_dialog->setValue(0);  // starts the wait after which it shows itself
    connect(m_dialog, &QProgressDialog::canceled, this, [this] { m_progress->stop = true; });
    m_writer = std::thread([this, target, mails = std::move(mails)] {
        m_bWritten = ExportMails(ExportFormat::kMbox, target, mails, m_reason, m_progress.get());
        Wake(this);
    });
    m_poll->start();
    UpdateAction();
}

void CMailSaver::Wake(CMailSaver* saver) {
    // By name, so that the queued call is built and handed over inside Qt alone.
    QMetaObject::invokeMethod(saver, "OnWritten", Qt::QueuedConnection);
}

void CMailSaver::OnWritten() {
    if (!m_writer.joinable()) {
        return;
    }
    m_writer.join();
    m_poll->stop();
    // Called from the event loop, never from inside the dialog's own code.
    delete m_dialog;
    m_dialog = nullptr;
    UpdateAction();
    const bool written = m_bWritten;
    if (!written && !m_reason.empty()) {
        // The reason's lines end in LF; the box breaks its lines at CR LF. Like the questions,
        // it belongs to the main window.
        const QPointer<CMailSaver> alive(this);
        ShowWarningBox(m_owner->window(), QString::fromStdString(m_reason).replace(
                                              QLatin1Char('\n'), QStringLiteral("\r\n")));
        if (alive.isNull()) {
            return;
        }
    }
    emit saveEnded(written);
}

}  // namespace tarsel
