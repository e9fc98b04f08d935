// The window program: tarsel [--mail FILE [--search STRING]] [DOCUMENT]
#include "ui/launch_options.h"
#include "ui/quit_signals.h"
#include "ui/tarsel_app.h"

int main(int argc, char** argv) {
    tarsel::EscapeQtMessages();
    if (const int status = tarsel::AnswerWithoutWindow(argc, argv); status >= 0) {
        return status;
    }
    tarsel::CTarselApp app(argc, argv);
    if (!app.InitInstance(app.arguments())) {
        return app.ExitCode();
    }
    tarsel::QuitOnTerminationSignals(&app);
    return app.exec();
}
