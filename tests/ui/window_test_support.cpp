// Test support for the window.
#include "tests/ui/window_test_support.h"

#include <QApplication>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QFile>
#include <QLineEdit>
#include <QMimeData>
#include <QTemporaryDir>
#include <QUrl>

#include "engine/messages.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/main_frame.h"
#include "ui/tarsel_app.h"
#include "ui/tarsel_view.h"

namespace tarsel::test {

namespace {
constexpr int kSearchTimeoutMs = 30000;
}

std::string Mail(std::string_view subject, std::string_view body, std::string_view from) {
    std::string mail("\x7F\x20\x7F", 3);
    mail += "From: ";
    mail += from;
    mail += "\r\nSubject: ";
    mail += subject;
    mail += "\r\nDate: Tue, 7 Dec 1999 12:34:56 +0900\r\n\r\n";
    mail += body;
    mail += "\r\n";
    return mail;
}

std::string NeedleMails(int n) {
    std::string archive;
    for (int i = 1; i <= n; ++i) {
        archive += Mail("mail " + std::to_string(i),
                        "body of mail " + std::to_string(i) + " with a needle inside");
    }
    return archive;
}

WarningLog::WarningLog() {
    m_previous =
        SetWarningPresenter([this](QWidget*, const QString& text) { m_texts.append(text); });
}

WarningLog::~WarningLog() {
    SetWarningPresenter(std::move(m_previous));
}

CTarselApp* App() {
    return static_cast<CTarselApp*>(QCoreApplication::instance());
}

CChildFrame* OpenWindow(const QStringList& arguments) {
    if (!App()->InitInstance(QStringList{QStringLiteral("tarsel")} + arguments)) {
        return nullptr;
    }
    CMainFrame* frame = App()->MainFrame();
    frame->activateWindow();
    if (!QTest::qWaitForWindowActive(frame)) {
        return nullptr;
    }
    return frame->ActiveChild();
}

bool DropFile(QWidget* target, const std::filesystem::path& path,
              const std::filesystem::path& second) {
    QMimeData mime;
    QList<QUrl> urls{QUrl::fromLocalFile(QFile::decodeName(path.c_str()))};
    if (!second.empty()) {
        urls.append(QUrl::fromLocalFile(QFile::decodeName(second.c_str())));
    }
    mime.setUrls(urls);
    const QPoint centre = target->rect().center();
    QDragEnterEvent enter(centre, Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &enter);
    if (!enter.isAccepted()) {
        return false;
    }
    QDropEvent drop(QPointF(centre), Qt::CopyAction, &mime, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(target, &drop);
    return drop.isAccepted();
}

void PressAlt(CChildFrame* child, Qt::Key key) {
    QWidget* focus = QApplication::focusWidget();
    QTest::keyClick(focus != nullptr ? focus : static_cast<QWidget*>(child), key, Qt::AltModifier);
}

bool WaitForSearchEnd(CChildFrame* child, const WarningLog& log, int searchesDone) {
    return QTest::qWaitFor(
        [&] {
            return log.Count(msg::kSearchDone) >= searchesDone &&
                   !child->m_pTarselView->IsPhaseRunning();
        },
        kSearchTimeoutMs);
}

bool WaitForIdle(CChildFrame* child) {
    return QTest::qWaitFor([&] { return !child->m_pTarselView->IsPhaseRunning(); },
                           kSearchTimeoutMs);
}

bool Search(CChildFrame* child, const QString& text, const WarningLog& log, int searchesDone) {
    child->m_pInputView->m_editSearch->setText(text);
    PressAlt(child, Qt::Key_S);
    return WaitForSearchEnd(child, log, searchesDone);
}

void PrepareEnvironment() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
    static QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
}

}  // namespace tarsel::test
