#include "cli/CommandLine.h"
#include "gui/FirstPaintProbe.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <variant>

namespace {

// Without a display Qt would abort with a plugin error; say plainly what to do instead. A
// platform named on the command line (-platform offscreen) needs none.
bool hasDisplay(int argc, char** argv) {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) {
        return true;
    }
    for (int index = 1; index < argc; ++index) {
        const std::string_view argument = argv[index];
        const std::string_view name = argument.substr(0, argument.find('='));
        if (name == "-platform" || name == "--platform") {
            return true;
        }
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

} // namespace

// The window, which the corvane program starts in its own place when its command line asks for
// no action; read again here, it names the application to open, if any.
int main(int argc, char** argv) {
    const auto command = corvane::cli::runCommandLine(argc, argv);
    if (const int* status = std::get_if<int>(&command)) {
        return *status;
    }
    const std::optional<std::string> application =
        std::get<corvane::cli::OpenWindow>(command).application;

#ifndef __APPLE__
    if (!hasDisplay(argc, argv)) {
        std::fputs("corvane: the window needs a graphical session (DISPLAY or WAYLAND_DISPLAY), "
                   "and none was found.\n"
                   "The command-line actions (--list, --reset, --restore, --history) work "
                   "without one;\n"
                   "'xvfb-run -a corvane' runs the window on a virtual display.\n",
                   stderr);
        return 2;
    }
#endif
    QApplication app(argc, argv);
    corvane::describeApplication();
    corvane::FrontEnd frontEnd;
    corvane::recordFirstPaint(frontEnd.window());
    frontEnd.start(application);
    return QApplication::exec();
}
