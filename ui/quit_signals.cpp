// Termination signals reach the event loop through a pipe: a signal handler may only write a
// byte, and the main thread then asks the application to end.
#include "ui/quit_signals.h"

#include <fcntl.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QSocketNotifier>
#include <csignal>

namespace tarsel {
namespace {

int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_terminationRequested = 0;

void OnSignal(int) {
    g_terminationRequested = 1;
    const char byte = 1;
    [[maybe_unused]] const auto written = ::write(g_signalPipe[1], &byte, 1);
}

}  // namespace

bool TerminationRequested() {
    return g_terminationRequested != 0;
}

void QuitOnTerminationSignals(QObject* parent) {
    if (g_signalPipe[0] >= 0 || ::pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) {
        return;
    }
    auto* notifier = new QSocketNotifier(g_signalPipe[0], QSocketNotifier::Read, parent);
    QObject::connect(notifier, &QSocketNotifier::activated, parent, [] {
        char bytes[16];
        while (::read(g_signalPipe[0], bytes, sizeof bytes) > 0) {
        }
        // Every running event loop ends, a modal box's included; the windows are destroyed
        // after the main loop, as on a normal close.
        QCoreApplication::exit(0);
    });
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGTERM, SIGINT, SIGHUP}) {
        ::sigaction(signal, &action, nullptr);
    }
}

}  // namespace tarsel
