// The screenshot mode.
#include "ui/screenshot.h"

#include <QCoreApplication>
#include <QPixmap>
#include <QPointer>
#include <QTimer>
#include <cstdio>
#include <memory>

#include "decode/safe_text.h"
#include "engine/messages.h"
#include "ui/child_frame.h"
#include "ui/launch_options.h"
#include "ui/main_frame.h"
#include "ui/tarsel_view.h"
#include "ui/warning_box.h"

namespace tarsel {

namespace {
constexpr int kStartTicks = 100;
}

void SaveScreenshotWhenShown(CMainFrame* frame, CChildFrame* child, const QString& path) {
    // A search of a small archive can start and end between two polls: its end box tells
    // that it ran.
    auto started = std::make_shared<bool>(false);
    SetWarningPresenter([started](QWidget*, const QString& text) {
        std::fprintf(stderr, "%s\n", TerminalMessage(text.toStdString()).c_str());
        if (text == QString::fromUtf8(msg::kSearchDone)) {
            *started = true;
        }
    });
    auto* poll = new QTimer(frame);
    poll->setInterval(100);
    QPointer<CChildFrame> watched(child);
    auto waited = std::make_shared<int>(0);
    QObject::connect(poll, &QTimer::timeout, frame, [=] {
        if (watched.isNull()) {
            QCoreApplication::exit(2);
            return;
        }
        if (watched->m_pTarselView->IsPhaseRunning()) {
            *started = true;
            return;
        }
        if (!*started) {
            // A search refused at its start never runs: give up after a while.
            if (++*waited > kStartTicks) {
                std::fprintf(stderr, "tarsel: the search did not start\n");
                QCoreApplication::exit(2);
            }
            return;
        }
        poll->stop();
        const bool saved = frame->grab().save(path, "PNG");
        if (!saved) {
            std::fprintf(stderr, "tarsel: cannot write %s\n",
                         EscapedForTerminal(path).toUtf8().constData());
        }
        QCoreApplication::exit(saved ? 0 : 2);
    });
    poll->start();
}

}  // namespace tarsel
