// Times the list of installed applications in the window: from File > Choose Installed
// Application... until the list has painted its rows, with every desktop file of the application
// folders read and parsed, ids checked and icons looked up. The program's real front end runs on
// Qt's offscreen platform; the dialog is closed as soon as it has painted. Prints the median of
// the runs in milliseconds for a generated set of desktop files:
//
//   corvane-bench-applications [COUNT [RUNS]]
//   installed-applications-COUNT: N listed, ready in X ms (median of RUNS)

#include "gui/FrontEnd.h"
#include "gui/MainWindow.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QListView>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

// Writes `count` desktop files, a third of them Flatpak exports, as a desktop that uses both has.
void writeDesktopFiles(const std::string& home, int count) {
    const std::string host = home + "/.local/share/applications";
    const std::string flatpak = home + "/.local/share/flatpak/exports/share/applications";
    fs::create_directories(host);
    fs::create_directories(flatpak);
    for (int i = 0; i < count; ++i) {
        const std::string id = "org.example.App" + std::to_string(i);
        const bool isFlatpak = i % 3 == 0;
        std::ofstream((isFlatpak ? flatpak : host) + "/" + id + ".desktop")
            << "[Desktop Entry]\nType=Application\nName=Application " << i
            << "\nComment=Does things\nIcon=" << id << "\nExec="
            << (isFlatpak ? "/usr/bin/flatpak run " + id : "/usr/bin/app" + std::to_string(i))
            << " %U\nCategories=Utility;\nMimeType=text/plain;\n"
            << (isFlatpak ? "X-Flatpak=" + id + "\n" : "")
            << "\n[Desktop Action new-window]\nName=New Window\nExec=app --new-window\n";
    }
}

// Watches for the chooser's list to paint, notes the time and the rows, and closes the dialog.
class ListPainted : public QObject {
public:
    std::optional<std::chrono::steady_clock::time_point> at;
    int rows = 0;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::Paint || at) {
            return false;
        }
        auto* list = qobject_cast<QListView*>(watched->parent());
        if (!list || list->objectName() != QLatin1String("installedApplications") ||
            watched != list->viewport()) {
            return false;
        }
        at = std::chrono::steady_clock::now();
        rows = list->model()->rowCount();
        if (auto* dialog = qobject_cast<QDialog*>(list->window())) {
            QTimer::singleShot(0, dialog, &QDialog::reject);
        }
        return false;
    }
};

} // namespace

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
    const int runs = argc > 2 ? std::max(1, std::atoi(argv[2])) : 5;
    std::string home = (fs::temp_directory_path() / "corvane-bench-apps-XXXXXX").string();
    if (mkdtemp(home.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    writeDesktopFiles(home, count);
    setenv("HOME", home.c_str(), 1);
    setenv("XDG_DATA_HOME", (home + "/.local/share").c_str(), 1);
    // Only the generated applications: none of the machine's own.
    setenv("XDG_DATA_DIRS", (home + "/system").c_str(), 1);
    setenv("QT_QPA_PLATFORM", "offscreen", 0);

    QApplication app(argc, argv);
    corvane::FrontEnd frontEnd;
    frontEnd.start();
    QApplication::processEvents();

    std::vector<double> times;
    int listed = 0;
    for (int run = 0; run < runs; ++run) {
        ListPainted painted;
        app.installEventFilter(&painted);
        const auto start = std::chrono::steady_clock::now();
        // Runs the dialog's own event loop until the filter closes it.
        frontEnd.window().chooseInstalledAction()->trigger();
        app.removeEventFilter(&painted);
        if (!painted.at) {
            std::fprintf(stderr, "the list of installed applications was not painted\n");
            fs::remove_all(home);
            return 1;
        }
        times.push_back(std::chrono::duration<double, std::milli>(*painted.at - start).count());
        listed = painted.rows;
    }
    std::sort(times.begin(), times.end());
    std::printf("installed-applications-%d: %d listed, ready in %.1f ms (median of %d)\n", count,
                listed, times[times.size() / 2], runs);
    fs::remove_all(home);
    return listed == count ? 0 : 1;
}
