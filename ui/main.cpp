// The window program: tarsel [--mail FILE [--search STRING]] [DOCUMENT]
#include "ui/tarsel_app.h"

int main(int argc, char** argv) {
    tarsel::CTarselApp app(argc, argv);
    if (!app.InitInstance(app.arguments())) {
        return app.ExitCode();
    }
    return app.exec();
}
