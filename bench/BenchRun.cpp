// One analysis, one analysis and fix, or one restore of the latest reset, of the home folder
// given, in a process of its own, so that the benchmark can time it whole against the system's
// tools. Prints what was found and done on one line.
//
//   corvane-bench-run analyse|fix|restore|start HOME IDENTIFIER
//
// A Safari target is answered "Hard" at the mode prompt, and Restore at its question. The Trash
// is the freedesktop Trash of HOME, as the program finds it. "start" does nothing at all: what
// starting this program costs by itself.

#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/Dialogs.h"
#include "core/ProcessWideValues.h"
#include "core/analysis/Discovery.h"
#include "core/fix/ResetEnding.h"
#include "host/linux/FreedesktopTrash.h"
#include "host/linux/ProcRunningApplications.h"
#include "host/posix/FileCookieStore.h"
#include "host/posix/HostFileSystem.h"
#include "host/posix/HostWorkspace.h"
#include "host/posix/PlistBundleReader.h"
#include "host/posix/PosixProcessLauncher.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/stat.h>
#include <variant>
#include <vector>

namespace {

using namespace corvane;

// Says yes to what a user who wants the reset done says yes to. Everything in these Libraries
// can go to the Trash, so a question about removing entries for good is counted and declined,
// for the benchmark to report.
class HardAnswer : public Alerts {
public:
    int runModal(const Alert& alert) override {
        if (alert.purpose == AlertPurpose::RemoveForGood) {
            ++removeForGoodQuestions;
        }
        return kAlertFirstButtonReturn;
    }
    void beginSheet(const Alert& alert, Window*, std::function<void(int)> done) override {
        sheetText = alert.informativeText;
        done(kAlertFirstButtonReturn);
    }
    std::string sheetText;
    int removeForGoodQuestions = 0;
};

// The bench picks its target itself and has no window to keep responsive.
class NoOpenPanel : public OpenPanel {
public:
    std::optional<std::string> runModal(const OpenPanelOptions&) override { return std::nullopt; }
};
class NoWindow : public Application {
public:
    void terminateLater() override {}
};

// Counts the removal runs, and those for an entry that was already gone.
class CountingLauncher : public ProcessLauncher {
public:
    Result<ProcessOutput> run(const std::string& launchPath,
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

// The home's Trash for putting back alone: a restore never trashes anything.
class PutBackTrash : public Trash {
public:
    explicit PutBackTrash(FreedesktopTrash trash) : m_trash(std::move(trash)) {}

    std::optional<std::string> unavailableReason(const std::string&) override {
        return "a restore moves nothing to the Trash";
    }
    Result<TrashSlot> reserve(const std::string&) override {
        return Error{"a restore moves nothing to the Trash", 0};
    }
    Result<std::string> moveInto(const TrashSlot&) override {
        return Error{"a restore moves nothing to the Trash", 0};
    }
    Status copyBack(const TrashSlot&) override {
        return Error{"a restore copies nothing out of the Trash", 0};
    }
    void release(const TrashSlot& slot) override { m_trash.release(slot); }
    void forgetOrphans(const std::map<std::string, TimeSpan>& originals) override {
        m_trash.forgetOrphans(originals);
    }
    bool hasNotesWithoutItems(const std::vector<std::string>& places) override {
        return m_trash.hasNotesWithoutItems(places);
    }
    std::vector<TrashSlot> findTrashedFrom(const std::vector<std::string>& originals,
                                           const TimeSpan& span) override {
        return m_trash.findTrashedFrom(originals, span);
    }
    TrashedItemState examine(const std::string& trashed, const std::string& original,
                             const EntryIdentity& identity) override {
        return m_trash.examine(trashed, original, identity);
    }
    PutBackOutcome putBack(const std::string& trashed, const std::string& original,
                           const EntryIdentity& identity, PutBackMode mode) override {
        const PutBackOutcome outcome = m_trash.putBack(trashed, original, identity, mode);
        restored += outcome == PutBackOutcome::Restored ? 1 : 0;
        return outcome;
    }
    void settle() override { m_trash.settle(); }
    int restored = 0;

private:
    FreedesktopTrash m_trash;
};

class CountingLog : public SystemLog {
public:
    void log(const std::string&) override { ++lines; }
    void debug(const std::string&) override {}
    int lines = 0;
};

// Every question is answered yes, so a run that changed nothing was refused (or its question
// about removing for good, which is counted apart, was declined).
int refusals(const AppDelegate& delegate) {
    return delegate.lastEnding() == ResetEnding::Declined ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 4 ? argv[1] : "";
    if (mode != "analyse" && mode != "fix" && mode != "restore" && mode != "start") {
        std::fprintf(stderr, "usage: %s analyse|fix|restore|start HOME IDENTIFIER\n", argv[0]);
        return 2;
    }
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
    HostWorkspace workspace(fileSystem);
    NoOpenPanel openPanel;
    NoWindow application;
    std::optional<FreedesktopTrash> trash = FreedesktopTrash::locate();
    if (!trash) {
        std::fprintf(stderr, "%s: no Trash for %s\n", argv[0], argv[2]);
        return 2;
    }
    PutBackTrash putBackTrash(*trash);
    Ports ports{fileSystem, workspace, bundles, launcher, running, cookies, log};
    ports.trash = mode == "restore" ? static_cast<Trash*>(&putBackTrash) : &*trash;

    processWide().targetBundleIdentifier = identifier;
    processWide().targetApplicationName = safari ? "Safari.app" : "Target.app";
    AppDelegate delegate(Outlets{}, ports, WindowParts{openPanel, alerts, application});
    delegate.applicationDidFinishLaunching();
    if (mode == "restore") {
        delegate.restoreButtonMethod();
        std::printf("restored %d ending %s asked %d refused %d\n", putBackTrash.restored,
                    endingWord(delegate.lastEnding()), alerts.removeForGoodQuestions,
                    refusals(delegate));
        return 0;
    }
    delegate.setPath(safari ? "/Applications/Safari.app" : "/Applications/Target.app");
    (void)delegate.analyser();
    const std::size_t preferences = delegate.fullFilePaths().size();
    const std::size_t state = delegate.fullStatePaths().size();
    if (mode == "analyse") {
        std::printf("preferences %zu state %zu\n", preferences, state);
        return 0;
    }
    delegate.fixButtonMethod();
    const bool reportedSuccess =
        alerts.sheetText.find("successfully restored") != std::string::npos;
    const char* ending = endingWord(delegate.lastEnding());
    const int refused = refusals(delegate);
    std::printf("preferences %zu state %zu removals %d missing %d logged %d success %d ending %s "
                "asked %d refused %d\n",
                preferences, state, launcher.removals, launcher.removalsOfMissing, log.lines,
                reportedSuccess ? 1 : 0, ending, alerts.removeForGoodQuestions, refused);
    // What moved is counted from the record by the benchmark, outside the time taken.
    return 0;
}
