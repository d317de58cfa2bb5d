// One analysis, or one analysis and fix, of the home folder given, in a process of its own, so
// that the benchmark can time it whole against the system's tools. Prints what was found and
// done on one line.
//
//   corvane-bench-run analyse|fix HOME IDENTIFIER
//
// A Safari target is answered "Hard" at the mode prompt.

#include "analysis/Discovery.h"
#include "app/AppDelegate.h"
#include "app/ProcessWideValues.h"
#include "platform/Dialogs.h"
#include "platform/host/FileCookieStore.h"
#include "platform/host/HostFileSystem.h"
#include "platform/host/PlistBundleReader.h"
#include "platform/host/PosixProcessLauncher.h"
#include "platform/host/ProcRunningApplications.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>

namespace {

using namespace corvane;

class HardAnswer : public Alerts {
public:
    int runModal(const Alert&) override { return kAlertFirstButtonReturn; }
    void beginSheet(const Alert& alert, Window*, std::function<void(int)> done) override {
        sheetText = alert.informativeText;
        done(kAlertFirstButtonReturn);
    }
    std::string sheetText;
};

// Counts the removal runs, and those for an entry that was already gone.
class CountingLauncher : public ProcessLauncher {
public:
    std::optional<std::string> run(const std::string& launchPath,
                                   const std::vector<std::string>& arguments) override {
        if (launchPath == "/bin/rm") {
            struct stat info {};
            if (arguments.size() < 2 || lstat(arguments.back().c_str(), &info) != 0) {
                ++removalsOfMissing;
            }
            ++removals;
        }
        return real.run(launchPath, arguments);
    }
    int removals = 0;
    int removalsOfMissing = 0;
    PosixProcessLauncher real;
};

class CountingLog : public SystemLog {
public:
    void log(const std::string&) override { ++lines; }
    int lines = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s analyse|fix HOME IDENTIFIER\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    setenv("HOME", argv[2], 1);
    const std::string identifier = argv[3];
    const bool safari = isSafariIdentifier(identifier);

    HostFileSystem fileSystem;
    PlistBundleReader bundles;
    ProcRunningApplications running(bundles);
    CountingLauncher launcher;
    FileCookieStore cookies(fileSystem);
    CountingLog log;
    HardAnswer alerts;
    Services services;
    services.fileSystem = &fileSystem;
    services.bundles = &bundles;
    services.launcher = &launcher;
    services.runningApplications = &running;
    services.cookieStore = &cookies;
    services.systemLog = &log;
    services.alerts = &alerts;

    processWide().targetBundleIdentifier = identifier;
    processWide().targetApplicationName = safari ? "Safari.app" : "Target.app";
    AppDelegate delegate(Outlets{}, services);
    delegate.applicationDidFinishLaunching();
    delegate.setPath(safari ? "/Applications/Safari.app" : "/Applications/Target.app");
    delegate.analyser();
    const std::size_t preferences = delegate.fullFilePaths().size();
    const std::size_t state = delegate.fullStatePaths().size();
    if (mode == "analyse") {
        std::printf("preferences %zu state %zu\n", preferences, state);
        return 0;
    }
    delegate.fixButtonMethod();
    const bool reportedSuccess =
        alerts.sheetText.find("successfully restored") != std::string::npos;
    std::printf("preferences %zu state %zu removals %d missing %d logged %d success %d\n",
                preferences, state, launcher.removals, launcher.removalsOfMissing, log.lines,
                reportedSuccess ? 1 : 0);
    return 0;
}
