// How long a search takes in the window, as a user sees it: from Alt+S to the end-of-search
// box, and from Alt+S to the first matching mail in the mail pane. The real window runs
// offscreen in this process; the real box is shown and answered at once.
//   tarsel-bench-window ARCHIVE SEARCH [RUNS]
// Two cases, RUNS times each, alternating: a freshly dropped archive (load, count, search,
// first page) and the same search again on the loaded archive (search, first page).
#include <QApplication>
#include <QEventLoop>
#include <QLineEdit>
#include <QMessageBox>
#include <QTest>
#include <QTextDocument>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "engine/messages.h"
#include "ui/child_frame.h"
#include "ui/input_view.h"
#include "ui/tarsel_view.h"
#include "ui/warning_box.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Timing {
    double box = 0;   // ms from Alt+S to the end-of-search box
    double mail = 0;  // ms from Alt+S to the first mail in the mail pane
};

double Ms(Clock::duration d) {
    return std::chrono::duration<double, std::milli>(d).count();
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// One search started with Alt+S; returns once the box is answered and no phase runs.
Timing TimeOneSearch(tarsel::CChildFrame& frame) {
    tarsel::CTarselView& view = *frame.m_pTarselView;
    Clock::time_point start, box, mail;
    bool boxSeen = false;
    bool mailSeen = false;
    QEventLoop loop;
    const auto finishWhenDone = [&] {
        if (boxSeen && mailSeen && !view.IsPhaseRunning() && !view.IsShowingWarning()) {
            loop.quit();
        }
    };
    // The real box, answered as soon as it is up, as by a user waiting for it.
    const tarsel::WarningPresenter previous = tarsel::SetWarningPresenter([&](QWidget* owner,
                                                                              const QString& text) {
        if (text == QString::fromUtf8(tarsel::msg::kSearchDone) && !boxSeen) {
            box = Clock::now();
            boxSeen = true;
        }
        QMetaObject::invokeMethod(
            owner,
            [] {
                if (auto* open = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    open->done(QMessageBox::Ok);
                }
            },
            Qt::QueuedConnection);
        tarsel::ExecWarningMessageBox(owner, text);
    });
    const auto shown =
        QObject::connect(view.document(), &QTextDocument::contentsChanged, &view, [&] {
            if (!mailSeen && !view.document()->isEmpty()) {
                mail = Clock::now();
                mailSeen = true;
                finishWhenDone();
            }
        });
    const auto handled =
        QObject::connect(&view, &tarsel::CTarselView::phaseHandled, &view, finishWhenDone);

    // The box took the activation; the keys go to the window again once it has it back.
    frame.activateWindow();
    if (!QTest::qWaitForWindowActive(&frame)) {
        std::fprintf(stderr, "tarsel-bench-window: the window did not become active\n");
        std::exit(1);
    }
    QWidget* focus = QApplication::focusWidget();
    start = Clock::now();
    QTest::keyClick(focus != nullptr ? focus : &frame, Qt::Key_S, Qt::AltModifier);
    if (!view.IsPhaseRunning()) {
        std::fprintf(stderr, "tarsel-bench-window: Alt+S started no search\n");
        std::exit(1);
    }
    loop.exec();

    QObject::disconnect(shown);
    QObject::disconnect(handled);
    tarsel::SetWarningPresenter(previous);
    return Timing{Ms(box - start), Ms(mail - start)};
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 3) {
        std::fprintf(stderr, "usage: tarsel-bench-window ARCHIVE SEARCH [RUNS]\n");
        return 2;
    }
    const std::filesystem::path archive = argv[1];
    const QString search = QString::fromUtf8(argv[2]);
    const int runs = argc > 3 ? std::max(1, std::atoi(argv[3])) : 11;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // The offscreen platform's notes about what it cannot do would only clutter the figures.
    qInstallMessageHandler([](QtMsgType type, const QMessageLogContext&, const QString& text) {
        if (type == QtCriticalMsg || type == QtFatalMsg) {
            std::fprintf(stderr, "%s\n", qPrintable(text));
        }
    });
    QApplication app(argc, argv);
    tarsel::CChildFrame frame;
    frame.resize(1000, 700);
    frame.show();
    frame.m_pInputView->m_editSearch->setText(search);

    std::vector<double> firstBox, firstMail, againBox, againMail;
    for (int run = 0; run < runs; ++run) {
        frame.m_pInputView->OnDropFiles(archive);  // the next search loads the file afresh
        const Timing first = TimeOneSearch(frame);
        firstBox.push_back(first.box);
        firstMail.push_back(first.mail);
        const Timing again = TimeOneSearch(frame);
        againBox.push_back(again.box);
        againMail.push_back(again.mail);
    }
    std::printf("Window, %s, search %s: median of %d runs from Alt+S\n", archive.filename().c_str(),
                argv[2], runs);
    std::printf(
        "  dropped archive (load, count, search, page 1)  end box %7.1f ms  first mail %7.1f ms\n",
        Median(firstBox), Median(firstMail));
    std::printf(
        "  loaded archive  (search, page 1)               end box %7.1f ms  first mail %7.1f ms\n",
        Median(againBox), Median(againMail));
    return 0;
}
