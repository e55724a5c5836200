// rexmill: the window program.
#include "app/CRXApp.h"

#include <QtGlobal>
#include <cstdio>
#include <cstdlib>

namespace {

const char kNoDisplay[] =
    "rexmill: no display to open the window on (set DISPLAY or WAYLAND_DISPLAY, or use "
    "rexmill-batch)\n";

// Until the application exists, the platform's complaints are not shown; a platform that
// cannot start is told in one line.
void StartupMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type == QtFatalMsg) {
        std::fputs(kNoDisplay, stderr);
        std::_Exit(rx::CRXApp::kStartFailed);
    }
    if (type == QtCriticalMsg)
        std::fprintf(stderr, "rexmill: %s\n", qPrintable(message));
}

bool HasDisplay() {
    const QByteArray platform = qgetenv("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith("xcb") && !platform.startsWith("wayland"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

} // namespace

int main(int argc, char** argv) {
    if (!HasDisplay()) {
        std::fputs(kNoDisplay, stderr);
        return rx::CRXApp::kStartFailed;
    }
    const QtMessageHandler previous = qInstallMessageHandler(StartupMessages);
    rx::CRXApp app(argc, argv);
    qInstallMessageHandler(previous);
    return app.Run();
}
