// The command line of the window: tarsel [--mail FILE [--search STRING]] [DOCUMENT]
#pragma once

#include <QString>
#include <QStringList>

namespace tarsel {

struct LaunchOptions {
    QString mailFile;          // taken as if dropped onto a pane
    QString search;            // typed into the search field
    bool startSearch = false;  // --search given: the search starts as Alt+S would start it
    QString document;          // a text file read into the mail pane
    QString screenshot;        // grab the window to this PNG once the search is shown, then quit
    bool showHelp = false;
    bool showVersion = false;
    QString error;  // empty when the line was understood
};

// arguments[0] is the program.
LaunchOptions ParseLaunchOptions(const QStringList& arguments);
QString LaunchUsage();
// "tarsel <version>" and a line feed.
QString LaunchVersion();

// Text of the command line (an argument, a file name, the parser's message that quotes one)
// for a message on standard error, escaped as every terminal message of the programs is.
QString EscapedForTerminal(const QString& text);

// Has what Qt itself writes to standard error (its messages may quote a file's name) escaped
// line by line the same way.
void EscapeQtMessages();

// Answers what needs no window (help, version, a line not understood) before the window's
// application exists, so that it works without a display. Returns the exit status, or -1
// when the window is to be built.
int AnswerWithoutWindow(int argc, char** argv);

}  // namespace tarsel
