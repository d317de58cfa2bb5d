// One analysis, one analysis and fix, or one restore of the latest reset, of the home folder
// given, in a process of its own, so that the benchmark can time it whole against the system's
// tools. Prints what was found and done on one line.
//
//   corvane-bench-run analyse|restore|start HOME IDENTIFIER
//   corvane-bench-fix fix HOME IDENTIFIER
//
// The fix moves entries to the Trash through Qt, so it is built into a program of its own; the
// analysis and the restore need no Qt, though the C++ runtime still costs a start of its own.
// A Safari target is answered "Hard" at the mode prompt, and Restore at its question. The Trash
// is the one in HOME. "start" does nothing at all: what starting this program costs by itself.

#include "analysis/Discovery.h"
#include "app/AppDelegate.h"
#include "app/ProcessWideValues.h"
#include "fix/ResetRecord.h"
#include "platform/Dialogs.h"
#include "platform/host/FileCookieStore.h"
#include "platform/host/HomeTrash.h"
#include "platform/host/HostFileSystem.h"
#include "platform/host/PlistBundleReader.h"
#include "platform/host/PosixProcessLauncher.h"
#include "platform/host/ProcRunningApplications.h"

#ifdef CORVANE_BENCH_FIX
#include "platform/qt/QtTrash.h"
#endif

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

// The home Trash for putting back alone: a restore never trashes anything.
class PutBackTrash : public Trash {
public:
    std::optional<std::string> moveToTrash(const std::string&) override { return std::nullopt; }
    std::optional<std::string> copyToTrash(const std::string&) override { return std::nullopt; }
    PutBackOutcome putBack(const std::string& trashed, const std::string& original,
                           PutBackMode mode) override {
        const std::optional<HomeTrash> home = HomeTrash::locate();
        const PutBackOutcome outcome =
            home ? home->putBack(trashed, original, mode) : PutBackOutcome::Refused;
        restored += outcome == PutBackOutcome::Restored ? 1 : 0;
        return outcome;
    }
    int restored = 0;
};

class CountingLog : public SystemLog {
public:
    void log(const std::string&) override { ++lines; }
    int lines = 0;
};

} // namespace

int main(int argc, char** argv) {
    if (argc != 4) {
        std::fprintf(stderr, "usage: %s analyse|fix|restore|start HOME IDENTIFIER\n", argv[0]);
        return 2;
    }
    const std::string mode = argv[1];
    if (mode == "start") {
        return 0;
    }
    setenv("HOME", argv[2], 1);
    setenv("XDG_DATA_HOME", (std::string(argv[2]) + "/.local/share").c_str(), 1);
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
#ifdef CORVANE_BENCH_FIX
    QtTrash trash;
#else
    PutBackTrash trash;
#endif
    services.trash = &trash;

    processWide().targetBundleIdentifier = identifier;
    processWide().targetApplicationName = safari ? "Safari.app" : "Target.app";
    AppDelegate delegate(Outlets{}, services);
    delegate.applicationDidFinishLaunching();
#ifndef CORVANE_BENCH_FIX
    if (mode == "restore") {
        delegate.restoreButtonMethod();
        std::printf("restored %d\n", trash.restored);
        return 0;
    }
#endif
    delegate.setPath(safari ? "/Applications/Safari.app" : "/Applications/Target.app");
    delegate.analyser();
    const std::size_t preferences = delegate.fullFilePaths().size();
    const std::size_t state = delegate.fullStatePaths().size();
#ifdef CORVANE_BENCH_FIX
    if (mode != "fix") {
        std::fprintf(stderr, "%s only fixes\n", argv[0]);
        return 2;
    }
#else
    if (mode != "analyse") {
        std::fprintf(stderr, "%s only analyses and restores\n", argv[0]);
        return 2;
    }
#endif
    if (mode == "analyse") {
        std::printf("preferences %zu state %zu\n", preferences, state);
        return 0;
    }
    delegate.fixButtonMethod();
    const bool reportedSuccess =
        alerts.sheetText.find("successfully restored") != std::string::npos;
    const std::optional<ResetRecord> record =
        ResetRecords(ResetRecords::folderIn(std::string(argv[2]) + "/Library")).latest();
    std::printf("preferences %zu state %zu removals %d missing %d logged %d success %d trashed "
                "%zu\n",
                preferences, state, launcher.removals, launcher.removalsOfMissing, log.lines,
                reportedSuccess ? 1 : 0, record ? record->moved.size() : std::size_t{0});
    return 0;
}
