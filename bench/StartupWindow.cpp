// The reference for Corvane's start: the same window with the same widgets, texts, images and
// menus that Corvane shows while it waits for an application, and nothing more: no command line
// read, no host services, no record looked up, no notifications set up. Its first paint is
// recorded as Corvane's is.
//
//   CORVANE_FIRST_PAINT_LOG=FILE corvane-bench-window

#include "app/AppDelegate.h"
#include "gui/FirstPaintProbe.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    corvane::describeApplication();
    corvane::MainWindow window;
    // The presenter draws the waiting look; without services it reaches nothing else.
    corvane::AppDelegate look(window.outlets(), corvane::Services{});
    corvane::recordFirstPaint(window);
    window.show();
    look.applicationWillFinishLaunching();
    return QApplication::exec();
}
