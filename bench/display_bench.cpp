// How long the mail pane takes to show a mail, from ShowMailBody to the first paint, and the
// memory it needs, for the mails that used to freeze the window: 100,000 hits on one line,
// 100,000 hits on as many lines, and a 100 MB mail. Each case runs in a process of its own so
// that its peak memory is its own.
//   tarsel-bench-display            all cases, one child process each
//   tarsel-bench-display CASE       one case: one-line, many-lines or 100mb
#include <sys/wait.h>
#include <unistd.h>

#include <QApplication>
#include <QScrollBar>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <utility>

#include "engine/search_panes.h"
#include "ui/child_frame.h"
#include "ui/tarsel_view.h"

namespace {

using tarsel::MailBody;

constexpr std::size_t kHits = 100000;
constexpr std::size_t kBigMail = 100000000;

MailBody HitsOnOneLine() {
    MailBody body;
    body.hitLength = 2;
    for (std::size_t i = 0; i < kHits; ++i) {
        body.hits.push_back(body.text.size());
        body.text += "QZ ";
    }
    body.text += "\r\n";
    return body;
}

MailBody HitsOnManyLines() {
    MailBody body;
    body.hitLength = 2;
    for (std::size_t i = 0; i < kHits; ++i) {
        body.text += "line ";
        body.hits.push_back(body.text.size());
        body.text += "QZ of the body\r\n";
    }
    return body;
}

// Lines of ASCII words and Shift-JIS kanji, as a long Japanese mail reads once converted; a
// hit on every thousandth line.
MailBody BigMail() {
    MailBody body;
    body.hitLength = 2;
    body.text.reserve(kBigMail + 100);
    const std::string words = "The quick brown fox 0123456789 ";
    std::string kanji;
    for (int i = 0; i < 20; ++i) {
        kanji += "\x8C\x9F\x8D\xF5";  // 検索
    }
    for (std::size_t line = 0; body.text.size() < kBigMail; ++line) {
        if (line % 1000 == 0) {
            body.hits.push_back(body.text.size());
            body.text += "QZ";
        }
        body.text += words;
        body.text += kanji;
        body.text += "\r\n";
    }
    return body;
}

long StatusKilobytes(const char* field) {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind(field, 0) == 0) {
            return std::atol(line.c_str() + std::string(field).size());
        }
    }
    return -1;
}

// Lets the peak below count from now on.
void ResetPeak() {
    std::ofstream clear("/proc/self/clear_refs");
    clear << "5";
}

int RunCase(int argc, char** argv, const std::string& name) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    tarsel::CChildFrame frame;
    frame.resize(1000, 700);
    frame.show();
    QCoreApplication::processEvents();
    tarsel::CTarselView& view = *frame.m_pTarselView;

    MailBody body = name == "one-line"     ? HitsOnOneLine()
                    : name == "many-lines" ? HitsOnManyLines()
                                           : BigMail();
    const long before = StatusKilobytes("VmRSS:");
    ResetPeak();
    const auto start = std::chrono::steady_clock::now();
    const std::size_t bytes = body.text.size();
    const std::size_t hits = body.hits.size();
    view.ShowMailBody(std::move(body));  // as the engine hands it over
    view.viewport()->repaint();
    const auto shown = std::chrono::steady_clock::now();
    // Whatever the pane lays out after the first paint counts towards its memory.
    QCoreApplication::processEvents();
    view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
    view.viewport()->repaint();
    const long peak = StatusKilobytes("VmHWM:");
    const double seconds = std::chrono::duration<double>(shown - start).count();
    std::printf("%-11s %9zu bytes %6zu hits  shown in %6.3f s  peak %5ld MB  (window %5ld MB)\n",
                name.c_str(), bytes, hits, seconds, peak / 1024, (peak - before) / 1024);
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) {
        return RunCase(argc, argv, argv[1]);
    }
    std::printf(
        "Mail pane: ShowMailBody to first paint; peak = the process's peak resident "
        "memory, window = peak above the resident memory before the call\n");
    std::fflush(stdout);
    int status = 0;
    for (const char* name : {"one-line", "many-lines", "100mb"}) {
        const pid_t child = fork();
        if (child == 0) {
            execl("/proc/self/exe", argv[0], name, static_cast<char*>(nullptr));
            _exit(127);
        }
        int childStatus = 0;
        waitpid(child, &childStatus, 0);
        if (!WIFEXITED(childStatus) || WEXITSTATUS(childStatus) != 0) {
            std::fprintf(stderr, "tarsel-bench-display: case %s failed\n", name);
            status = 1;
        }
    }
    return status;
}
