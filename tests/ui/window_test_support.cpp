// Test support for the window.
#include "tests/ui/window_test_support.h"

#include <QApplication>
#include <QCheckBox>
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

CChildFrame* SearchedWindow(const std::filesystem::path& archive, const QString& search,
                            const WarningLog& log, bool decoded) {
    CChildFrame* child = OpenWindow();
    if (child == nullptr || !DropFile(child->m_pInputView, archive)) {
        return nullptr;
    }
    child->m_pInputView->m_checkDecoded->setChecked(decoded);
    const bool searched = Search(child, search, log);
    child->m_pInputView->m_checkDecoded->setChecked(false);
    return searched ? child : nullptr;
}

void PrepareEnvironment() {
    static QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    // The offscreen screen is a common desktop's, not the platform's 800x600: a first window
    // then has the size it has on most screens, and at twice the scale still fits.
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (platform.isEmpty() || platform == "offscreen") {
        QFile screen(settings.filePath(QStringLiteral("screen.json")));
        if (screen.open(QIODevice::WriteOnly)) {
            screen.write(R"({"screens": [{"name": "desktop", "x": 0, "y": 0, "width": 1920,
                "height": 1200, "logicalDpi": 96, "logicalBaseDpi": 96, "dpr": 1}]})");
            screen.close();
        }
        qputenv("QT_QPA_PLATFORM", "offscreen:configfile=" + QFile::encodeName(screen.fileName()));
    }
}

}  // namespace tarsel::test
