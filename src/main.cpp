#include "platform/qt/FrontEnd.h"

#include <QApplication>
#include <QGuiApplication>
#include <cstdio>
#include <cstdlib>

namespace {

// Without a display Qt would abort with a plugin error; say plainly what to do instead.
bool hasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

} // namespace

int main(int argc, char** argv) {
#ifndef __APPLE__
    if (!hasDisplay()) {
        std::fprintf(stderr, "Corvane needs a display; none was found. To run it without one, "
                             "use: xvfb-run -a make run\n");
        return 1;
    }
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    corvane::FrontEnd frontEnd;
    frontEnd.start();
    return QApplication::exec();
}
