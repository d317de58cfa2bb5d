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
#include "gui/QtDialogs.h"
#include "host/HostFacilities.h"

#include <QApplication>

namespace {

class NoOpenPanel : public corvane::OpenPanel {
public:
    std::optional<std::string> runModal(const corvane::OpenPanelOptions&) override {
        return std::nullopt;
    }
};

class NoWindowWork : public corvane::Application {
public:
    void terminateLater() override {}
};

} // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    corvane::describeApplication();
    corvane::MainWindow window;
    // The presenter draws the waiting look and reaches nothing else: the host's facilities are
    // made, which does next to nothing until they are used, but never used.
    const std::unique_ptr<corvane::HostFacilities> host = corvane::makeHostFacilities();
    NoOpenPanel openPanel;
    corvane::QtAlerts alerts(&window);
    NoWindowWork application;
    corvane::AppDelegate look(window.outlets(), host->ports(), {openPanel, alerts, application});
    corvane::recordFirstPaint(window);
    window.show();
    look.applicationWillFinishLaunching();
    return QApplication::exec();
}
