// Times the list of installed applications as the window's chooser builds it: every desktop file
// of the application folders read and parsed, ids checked, Flatpak and host packages told apart.
// Prints the milliseconds, best of five runs, for a generated set of desktop files.

#include "core/linuxapps/InstalledApplications.h"
#include "host/linux/XdgDesktopApplications.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

namespace fs = std::filesystem;
using namespace corvane;

int main(int argc, char** argv) {
    const int count = argc > 1 ? std::atoi(argv[1]) : 300;
    std::string root = (fs::temp_directory_path() / "corvane-bench-apps-XXXXXX").string();
    if (mkdtemp(root.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const std::string host = root + "/share/applications";
    const std::string flatpak = root + "/flatpak/exports/share/applications";
    fs::create_directories(host);
    fs::create_directories(flatpak);
    for (int i = 0; i < count; ++i) {
        const std::string id = "org.example.App" + std::to_string(i);
        // About a third are Flatpaks, as on a desktop that uses both.
        const bool isFlatpak = i % 3 == 0;
        std::ofstream((isFlatpak ? flatpak : host) + "/" + id + ".desktop")
            << "[Desktop Entry]\nType=Application\nName=Application " << i
            << "\nComment=Does things\nIcon=" << id << "\nExec="
            << (isFlatpak ? "/usr/bin/flatpak run " + id : "/usr/bin/app" + std::to_string(i))
            << " %U\nCategories=Utility;\nMimeType=text/plain;\n"
            << (isFlatpak ? "X-Flatpak=" + id + "\n" : "")
            << "\n[Desktop Action new-window]\nName=New Window\nExec=app --new-window\n";
    }

    const XdgDesktopApplications applications;
    const std::vector<std::string> directories = {host, flatpak};
    double best = 1e9;
    std::size_t listed = 0;
    for (int run = 0; run < 5; ++run) {
        const auto start = std::chrono::steady_clock::now();
        const ApplicationList list = installedApplications(applications.desktopFiles(directories));
        const std::chrono::duration<double, std::milli> took =
            std::chrono::steady_clock::now() - start;
        best = std::min(best, took.count());
        listed = list.applications.size();
    }
    std::printf("installed applications: %zu listed in %.2f ms (best of 5)\n", listed, best);
    fs::remove_all(root);
    return listed == static_cast<std::size_t>(count) ? 0 : 1;
}
