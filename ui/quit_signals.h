// Ending the program cleanly on SIGTERM, SIGINT and SIGHUP (a session logout, Ctrl+C in the
// terminal that started it): the event loops end and the windows are destroyed in their
// normal order, which waits for a running search phase.
#pragma once

class QObject;

namespace tarsel {

// Installs the handlers; the notifier that reacts to them is a child of parent.
void QuitOnTerminationSignals(QObject* parent);

// True once a termination signal has arrived: long work on the main thread (showing a huge
// mail) asks it between its steps and gives up, so that the event loop can end the program.
bool TerminationRequested();

}  // namespace tarsel
