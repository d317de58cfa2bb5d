// The whole program's memory while it analyses a large Library: the real front end (window,
// host services, controller) on Qt's offscreen platform, one analysis of the home folder given,
// its report shown in the window, then the peak resident set size of the process.
//
//   QT_QPA_PLATFORM=offscreen corvane-bench-memory HOME IDENTIFIER

#include "app/AppDelegate.h"
#include "app/Controls.h"
#include "core/ProcessWideValues.h"
#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"

#include <QApplication>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

int main(int argc, char** argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: %s HOME IDENTIFIER\n", argv[0]);
        return 2;
    }
    setenv("HOME", argv[1], 1);
    const std::string identifier = argv[2];
    QApplication app(argc, argv);
    corvane::FrontEnd frontEnd;
    frontEnd.start();
    QApplication::processEvents();

    corvane::processWide().targetBundleIdentifier = identifier;
    corvane::processWide().targetApplicationName = "Target.app";
    corvane::AppDelegate& delegate = frontEnd.delegate();
    delegate.setPath("/Applications/Target.app");
    const corvane::AnalyserResult analysis = delegate.analyser();
    const auto* report = std::get_if<corvane::AnalyserReport>(&analysis);
    if (corvane::TextView* info = frontEnd.window().outlets().infoField; info && report) {
        info->setString(report->text);
    }
    QApplication::processEvents();

    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("entries %zu peak %.1f MiB\n",
                delegate.fullFilePaths().size() + delegate.fullStatePaths().size(),
                static_cast<double>(usage.ru_maxrss) / 1024.0);
    return 0;
}
