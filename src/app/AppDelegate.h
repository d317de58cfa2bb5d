#pragma once

#include "app/Controls.h"
#include "core/analysis/Discovery.h"
#include "core/analysis/TargetPlan.h"
#include "core/fix/QuitWait.h"
#include "core/fix/ResetEnding.h"
#include "core/fix/ResetLock.h"
#include "core/fix/Restore.h"
#include "ports/Network.h"
#include "ports/Ports.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

namespace corvane {

class Alerts;
class ApplicationBus;
class ApplicationChooser;
class Application;
class LibraryRemover;
class Notifications;
class ResetJournal;
class ResetRecords;
class ResponsiveWork;
class ResetChooser;
class SessionProcesses;
class OpenPanel;
class UrlLoader;
struct UserNotification;
struct ResetPlan;
struct Untrashable;
struct UserFolders;

// The controls of the main window that the controller drives. The window owns them.
struct Outlets {
    Window* window = nullptr;
    Button* chooseButton = nullptr;
    TextField* nameOfAppToFix = nullptr;
    TextView* infoField = nullptr;
    Button* fixButton = nullptr;
    ImageView* appIconImage = nullptr;
    ProgressIndicator* progressIndicator = nullptr;
    Button* restoreButton = nullptr;
    Label* hint = nullptr; // shown only while the window waits for an application
    KindChoices* kindChoices = nullptr;
};

// The window's own dialogs and links to the desktop, which only the window has: not host ports.
// The front end (or a test) supplies them.
struct WindowParts {
    OpenPanel& openPanel;
    Alerts& alerts;
    Application& application;
    UrlLoader* urlLoader = nullptr;         // none: an update check fails as if offline
    Notifications* notifications = nullptr; // none: the update check's notices are not shown
    ResetChooser* resetChooser = nullptr;   // none: Restore offers the latest reset alone
    ApplicationChooser* applicationChooser = nullptr; // none: no list of installed applications
};

using PathList = std::vector<std::string>;

// What the analysis gives the window: the report (or why nothing was found) with the stretch of
// listed entries the view greys, in UTF-16 code units.
struct AnalyserReport {
    std::string text;
    std::int64_t listsFrom = 0;
    std::int64_t listsLength = 0; // 0: nothing to grey
    bool operator==(const AnalyserReport&) const = default;
};
// A Hard Safari reset was chosen: its notice, shown in red, then what it takes, in grey
// (UTF-16 code units).
struct HardResetChosen {
    std::string text;
    std::int64_t noticeLength = 0;
    std::int64_t listsFrom = 0;
    std::int64_t listsLength = 0;
    bool operator==(const HardResetChosen&) const = default;
};
using AnalyserResult = std::variant<AnalyserReport, HardResetChosen>;

// The one controller: holds the state of the work on one target application and carries out
// every action of the main window. All of it runs on the main thread.
class AppDelegate : public UrlConnectionDelegate {
public:
    AppDelegate(Outlets outlets, Ports ports, WindowParts windowParts);

    // Application life cycle. The launch comes in two steps, so that a face can put its window on
    // screen in between: the waiting look, then what needs the disk (whether Restore has anything
    // to put back). applicationDidFinishLaunching() takes the first step too when it was not taken.
    void applicationWillFinishLaunching();
    void applicationDidFinishLaunching();
    bool applicationShouldTerminateAfterLastWindowClosed() const { return true; }
    void applicationWillTerminate() {}
    void quitTheApp();

    // Actions of the main window.
    void chooseApp();
    // Chooses the application at path as if it had been picked in the open panel.
    void chooseAppAtPath(const std::string& path);
    // Chooses from the list of installed Linux applications, as its desktop file would.
    void chooseInstalledApp();
    void fixButtonMethod();
    void restoreButtonMethod();
    // Puts back the latest reset (of the identifier, when given) after asking; what came of it,
    // none when nothing was put back (no record, the question declined, the target still runs).
    std::optional<RestoreResult> restoreLatest(const std::optional<std::string>& identifier);
    void stopProgress();
    void checkUpdate(const void* sender);

    // Analysis.
    AnalyserResult analyser();
    void hasPrefFile();
    void hasSavedState();
    // Ticks or unticks a kind of entry: the report lists only what is ticked, and Fix takes it.
    void chooseKind(EntryKind kind, bool chosen);
    const std::optional<TargetPlan>& plan() const { return _plan; }
    const KindSelection& chosenKinds() const { return _kinds; }
    std::optional<std::string> bundleIdentifierForApplicationName(const std::string& name);

    // Info view.
    void insertTextColor(const Color& color, std::optional<std::int64_t> location,
                         std::optional<std::int64_t> length, TextView* view);

    // Tools and the update page.
    std::optional<std::string> callNSTaskWithResult(const std::string& launchPath,
                                                    const std::vector<std::string>& arguments);
    void parseUpdate(const std::optional<std::string>& text);

    // Notification centre answers.
    bool userNotificationCenterShouldPresentNotification(const UserNotification&) const {
        return true;
    }
    void userNotificationCenterDidActivateNotification(const UserNotification&) {}

    // URL connection delegate.
    void connectionDidReceiveResponse(int statusCode) override;
    void connectionDidReceiveData(const std::string& bytes) override;
    bool connectionWillCacheResponse() override;
    void connectionDidFinishLoading() override;
    void connectionDidFailWithError(const std::string& error) override;

    // Where and how checkUpdate fetches the update page (the build's page unless set).
    UrlRequest updateRequest() const;
    void setUpdateRequest(UrlRequest value) { _updateRequest = std::move(value); }

    // Properties.
    Window* window() const { return _outlets.window; }
    Button* chooseButton() const { return _outlets.chooseButton; }
    TextField* nameOfAppToFix() const { return _outlets.nameOfAppToFix; }
    TextView* infoField() const { return _outlets.infoField; }
    Button* fixButton() const { return _outlets.fixButton; }
    ImageView* appIconImage() const { return _outlets.appIconImage; }

    const PathList& shortFilePaths() const { return _shortFilePaths; }
    const PathList& fullFilePaths() const { return _fullFilePaths; }
    const PathList& shortStatePaths() const { return _shortStatePaths; }
    const PathList& fullStatePaths() const { return _fullStatePaths; }
    void setShortFilePaths(PathList value) { _shortFilePaths = std::move(value); }
    void setFullFilePaths(PathList value) { _fullFilePaths = std::move(value); }
    void setShortStatePaths(PathList value) { _shortStatePaths = std::move(value); }
    void setFullStatePaths(PathList value) { _fullStatePaths = std::move(value); }

    // The search folders the latest analysis could not search, in the order met.
    const std::vector<SkippedFolder>& skippedFolders() const { return _skippedFolders; }

    const std::optional<std::string>& path() const { return _path; }
    void setPath(std::optional<std::string> value) { _path = std::move(value); }

    bool autoCheck() const { return _autoCheck; }
    bool isApp() const { return _isApp; }
    bool isSystemApp() const { return _isSystemApp; }
    bool hasPrefPlist() const { return _hasPrefPlist; }
    bool hasAppSaveState() const { return _hasAppSaveState; }
    bool safariAggressive() const { return _safariAggressive; }
    bool isSafari() const { return _isSafari; }
    void setAutoCheck(bool value) { _autoCheck = value; }
    void setIsApp(bool value) { _isApp = value; }
    void setIsSystemApp(bool value) { _isSystemApp = value; }
    void setHasPrefPlist(bool value) { _hasPrefPlist = value; }
    void setHasAppSaveState(bool value) { _hasAppSaveState = value; }
    void setSafariAggressive(bool value) { _safariAggressive = value; }
    void setIsSafari(bool value) { _isSafari = value; }

    const Ports& ports() const { return _ports; }
    const WindowParts& windowParts() const { return _windowParts; }

    // How the latest fix or restore ended.
    ResetEnding lastEnding() const { return _lastEnding; }

private:
    // The chooser's steps for the given path, or for the open panel's pick when none is given.
    void chooseAppFrom(const std::optional<std::string>& given);
    // The chooser's steps: show the pick, read its identifier (false: rejected, the window
    // says why), and show the analysis.
    void showPick(const std::string& picked);
    bool acceptPick(const std::string& picked);
    // A Linux desktop application picked by its desktop file; false when it names none.
    bool acceptDesktopFile(const std::string& picked);
    void rejectPick(const std::string& sentence);
    // True (the window says why, Fix unavailable) when the home is another user's.
    bool refuseForeignHome();
    void showAnalysis(const AnalyserResult& analysis);
    // The plan of the chosen target, made when there is none for it yet; none when the home's
    // folders cannot be used.
    const TargetPlan* currentPlan();
    // The lists and flags as the plan and the ticked kinds give them.
    void takeChosenEntries();
    AnalyserResult composedReport() const;
    void showKindChoices();
    // Enables Restore when a kept reset still has something in the Trash to put back.
    void updateRestoreButton();
    // The sentence refusing to work in this home: this process runs as root and the home is
    // another user's. Nothing may be made or moved there.
    std::optional<std::string> foreignHome() const;
    // Where a restore may act: the Library as the home names it and with its links resolved.
    // None (the user told why when it is worth telling) where no restore may act.
    struct RestorePlace {
        std::string home;
        std::string library;
        Confinement confinement;
    };
    std::optional<RestorePlace> restorePlace();
    // Takes the home's lock, plans the record's restore, asks about it (naming what was written
    // since and goes to the Trash first), then puts it back: the one way a reset comes back.
    std::optional<RestoreResult> askAndRestore(ResetRecords& records, const std::string& id,
                                               const RestorePlace& place);
    // The list of kept resets; the record chosen from it, none when the user cancelled.
    std::optional<ResetRecord> chooseReset(const std::vector<KeptRecord>& kept,
                                           const std::string& home);
    // The waiting window says how to start; a chosen target takes its place.
    void showHint(bool shown);

    // What the info view shows, colours included.
    struct ShownInfo {
        std::string text;
        std::vector<ColourRun> colours;
    };
    ShownInfo shownInfo() const;
    void showInfo(const ShownInfo& shown);
    // Asks the target's running instances to quit and waits, counting down in the info view with
    // `paused` unavailable; the cancel control stops the wait. Unless the target quit, the view
    // shows `before` again and `paused` is as it was.
    QuitWaitOutcome waitForTargetToQuit(RunningApplications& running, const std::string& identifier,
                                        std::vector<pid_t> instances, Button* paused,
                                        const ShownInfo& before);

    // The steps of a fix and a restore.
    // The reset's plan; it takes the window's lists of full paths rather than copying them (they
    // may name 100,000 entries), and takeChosenEntries() makes them again.
    ResetPlan takeResetPlan();
    void keepWindowResponsive();
    // Waits up to a bound for another reset or restore of this home to end; none (the user
    // told why) when it does not, or when the records' folder cannot be used.
    std::optional<ResetLock> takeResetLock(const std::string& library);
    // Says why nothing was changed, and marks the run as declined.
    void tellRefusal(const std::string& text);
    bool agreesToRemoveForGood(const Untrashable& untrashable);
    // What a fix or a restore calls itself while it waits for the target to quit.
    struct QuitStep {
        std::string undone;   // "removed", "put back": what is not done when the target runs
        std::string button;   // the button to press again
        Button* paused;       // unavailable while the wait runs
        ShownInfo before;     // the view, shown again when the wait does not end in a quit
        bool showBeforeAgain; // shown again after a quit too
    };
    // Asks the target's running instances, as `running` finds them (none: nothing is seen
    // running), to quit and waits. False (the user told why, the run declined) when it cannot be
    // told whether the target runs, or it did not quit.
    bool targetHasQuit(RunningApplications* running, const std::string& identifier,
                       const std::string& name, const QuitStep& step);
    RestoreResult finishRestore(ResetRecords& records, const RestorePlan& plan,
                                const RestorePlace& place);

    Outlets _outlets;
    Ports _ports;
    WindowParts _windowParts;

    PathList _shortFilePaths;
    PathList _fullFilePaths;
    PathList _shortStatePaths;
    PathList _fullStatePaths;
    std::vector<SkippedFolder> _skippedFolders;
    std::optional<TargetPlan> _plan;
    TargetFamily _targetFamily = TargetFamily::Bundle;
    LinuxPackage _linuxPackage = LinuxPackage::Any; // a Linux application's: Flatpak or host
    KindSelection _kinds;
    std::optional<std::string> _path;
    bool _autoCheck = false;
    bool _isApp = false;
    bool _isSystemApp = false;
    bool _hasPrefPlist = false;
    bool _hasAppSaveState = false;
    bool _safariAggressive = false;
    bool _isSafari = false;
    bool _safariCancelled = false; // the Safari question was cancelled during this analysis
    bool _launchBegun = false;
    // Restore's state is still to be looked up for the launch; a look-up or a chosen target
    // settles it.
    bool _restoreStateDue = false;
    // While a fix or a restore waits for the target to quit, the cancel control stops that wait.
    bool _quitWaitRunning = false;
    bool _quitWaitStopRequested = false;
    ResetEnding _lastEnding = ResetEnding::Done;

    std::optional<std::string> _responseData;
    int _responseStatus = 0;
    bool _updateInProgress = false;
    std::optional<UrlRequest> _updateRequest;
};

} // namespace corvane
