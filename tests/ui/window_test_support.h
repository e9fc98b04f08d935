// Test support for the window: small archives, one window per test, file drops, the warning
// boxes answered and recorded, and waiting on the event loop for a search to end.
#pragma once

#include <QStringList>
#include <QtTest>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>

#include "ui/tarsel_app.h"
#include "ui/warning_box.h"

class QWidget;

namespace tarsel {
class CChildFrame;
class CMainFrame;
class CTarselApp;
}  // namespace tarsel

namespace tarsel::test {

// One mail: the mark, From / Subject / Date header lines, a blank line and the body.
std::string Mail(std::string_view subject, std::string_view body,
                 std::string_view from = "Taro <taro@example.jp>");
// n mails whose bodies hold "needle" once each (subjects "mail 1", "mail 2", ...).
std::string NeedleMails(int n);

// Answers every warning box with OK, recording its text, while it lives.
class WarningLog {
  public:
    WarningLog();
    ~WarningLog();
    WarningLog(const WarningLog&) = delete;
    WarningLog& operator=(const WarningLog&) = delete;

    const QStringList& texts() const { return m_texts; }
    int Count(const char* utf8) const { return int(m_texts.count(QString::fromUtf8(utf8))); }
    void Clear() { m_texts.clear(); }

  private:
    QStringList m_texts;
    WarningPresenter m_previous;
};

CTarselApp* App();
// A fresh main window with one document window, shown and active.
CChildFrame* OpenWindow(const QStringList& arguments = {});

// Drops a local file on a widget as the window system would: drag enter, then drop.
// Answers whether the widget accepted the drag.
bool DropFile(QWidget* target, const std::filesystem::path& path,
              const std::filesystem::path& second = {});

// Alt+<key> pressed on the focused widget of the window.
void PressAlt(CChildFrame* child, Qt::Key key);

// Waits on the event loop until the search of child has ended: no phase running and the
// end-of-search box given. False on a time-out.
bool WaitForSearchEnd(CChildFrame* child, const WarningLog& log, int searchesDone = 1);
// Waits until no phase runs.
bool WaitForIdle(CChildFrame* child);

// Types the search string and presses Alt+S, then waits for the end.
bool Search(CChildFrame* child, const QString& text, const WarningLog& log, int searchesDone = 1);

// A fresh window that has searched the archive, in the decoded mode when asked (the box is
// unticked again afterwards, so that the next window starts in the raw mode); null when the
// window or the search failed.
CChildFrame* SearchedWindow(const std::filesystem::path& archive, const QString& search,
                            const WarningLog& log, bool decoded = false);

// Runs before the application object: an offscreen screen of 1920x1200 pixels, settings in
// a private place.
void PrepareEnvironment();

}  // namespace tarsel::test

// main() of a window test: the real application object, then the test class.
#define TARSEL_UI_TEST_MAIN(TestClass)          \
    int main(int argc, char** argv) {           \
        tarsel::test::PrepareEnvironment();     \
        tarsel::CTarselApp app(argc, argv);     \
        TestClass test;                         \
        QTEST_SET_MAIN_SOURCE_PATH              \
        return QTest::qExec(&test, argc, argv); \
    }
