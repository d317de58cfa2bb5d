#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/BusySpan.h"
#include "app/Dialogs.h"
#include "base/Paths.h"
#include "core/ProcessWideValues.h"
#include "core/analysis/AnalysisReport.h"
#include "core/analysis/BundleIdentifierPolicy.h"
#include "core/linuxapps/InstalledApplications.h"
#include "ports/DesktopApplications.h"
#include "ports/Workspace.h"

#include <algorithm>

namespace corvane {

namespace {

constexpr const char* kPanelMessage = "Select the application with the problem.";
constexpr const char* kRejectedName = "Error: %@ doesn't appear to be an application";
constexpr const char* kRejectedInfo = "Please click the (X) button to choose again";
constexpr const char* kForeignHomeName = "Error: HOME belongs to another user";

std::optional<std::string> acceptable(const std::optional<std::string>& identifier) {
    if (identifier && isAcceptableBundleIdentifier(*identifier)) {
        return identifier;
    }
    return std::nullopt;
}

// The bundle of the installed application of that name, when the workspace knows one.
Result<BundleInfo, BundleError> installedBundle(const Ports& ports, const std::string& name) {
    const std::optional<std::string> found = ports.workspace.fullPathForApplication(name);
    if (!found) {
        return BundleError{BundleFailure::NotABundle, "no application of that name is installed"};
    }
    return ports.bundles.readBundle(*found);
}

// The refusal names the item picked, so that a wrong pick is seen at once.
std::string rejectedName(const std::string& picked) {
    std::string name = kRejectedName;
    const std::size_t at = name.find("%@");
    return name.replace(at, 2, lastPathComponent(picked));
}

} // namespace

void AppDelegate::chooseApp() {
    chooseAppFrom(std::nullopt);
}

void AppDelegate::chooseAppAtPath(const std::string& path) {
    chooseAppFrom(path);
}

void AppDelegate::chooseInstalledApp() {
    const std::optional<std::string> home = _ports.fileSystem.homeDirectory();
    if (!_windowParts.applicationChooser || !_ports.desktopApplications || !home) {
        return;
    }
    std::vector<InstalledApplication> applications =
        findInstalledApplications(_ports.fileSystem, *_ports.desktopApplications, *home)
            .applications;
    // Those left out of menus are helpers and settings pages, not what a user names.
    std::erase_if(applications, [](const InstalledApplication& app) { return app.noDisplay; });
    std::vector<InstalledChoice> choices;
    choices.reserve(applications.size());
    for (const InstalledApplication& app : applications) {
        choices.push_back({app.name, app.id, app.icon});
    }
    if (const std::optional<std::size_t> chosen =
            _windowParts.applicationChooser->chooseApplication(choices);
        chosen && *chosen < applications.size()) {
        chooseAppFrom(applications[*chosen].desktopFilePath);
    }
}

void AppDelegate::chooseAppFrom(const std::optional<std::string>& given) {
    _safariAggressive = false;
    _isSystemApp = false;
    _isSafari = false;
    if (_outlets.infoField) {
        _outlets.infoField->setString("Waiting for an app to fix...");
    }
    if (_outlets.chooseButton) {
        _outlets.chooseButton->setImage(Image::named(kChooseButtonImage));
    }

    const std::optional<std::string> picked =
        given ? given : _windowParts.openPanel.runModal({kPanelMessage, false, true});
    if (!picked) {
        if (_outlets.appIconImage) {
            _outlets.appIconImage->setHidden(true);
        }
        if (_outlets.chooseButton) {
            _outlets.chooseButton->setHidden(false);
        }
        if (_outlets.window) {
            _outlets.window->setApplicationTitle("");
        }
        return;
    }
    showPick(*picked);
    if (!acceptPick(*picked) || refuseForeignHome()) {
        return;
    }
    _isApp = true;
    if (_outlets.nameOfAppToFix) {
        _outlets.nameOfAppToFix->setStringValue(*processWide().targetApplicationName);
    }
    if (_outlets.window) {
        _outlets.window->setApplicationTitle(*processWide().targetApplicationName);
    }
    if (_outlets.infoField) {
        _outlets.infoField->setString("Analysing...");
    }
    // Input made while the analysis runs is dropped, so no click can act on the report before it
    // was on screen.
    const BusySpan busy(&_windowParts.application);
    _safariCancelled = false;
    const AnalyserResult analysis = analyser();
    if (_safariCancelled) {
        // Neither reset was chosen: back to waiting, with nothing to fix.
        _isApp = false;
        _isSafari = false;
        _path.reset();
        _fullFilePaths.clear();
        _fullStatePaths.clear();
        stopProgress();
        return;
    }
    showAnalysis(analysis);
}

void AppDelegate::showPick(const std::string& picked) {
    _path = picked;
    _plan.reset();
    showKindChoices();
    showHint(false);
    // The title names an application once it is accepted, not the item in hand.
    if (_outlets.window) {
        _outlets.window->setApplicationTitle("");
    }
    // Restore belongs to the waiting window, not to the work on a new target.
    _restoreStateDue = false;
    if (_outlets.restoreButton) {
        _outlets.restoreButton->setEnabled(false);
    }
    processWide().targetApplicationName = lastPathComponent(picked);
    if (_outlets.chooseButton) {
        _outlets.chooseButton->setHidden(true);
    }
    if (_outlets.appIconImage) {
        _outlets.appIconImage->setImage(Image::iconForFile(picked));
        _outlets.appIconImage->setHidden(false);
    }
}

bool AppDelegate::acceptDesktopFile(const std::string& picked) {
    std::vector<DesktopFileText> files;
    if (_ports.desktopApplications) {
        const std::string name = lastPathComponent(picked);
        for (DesktopFileText& file : _ports.desktopApplications->desktopFiles(
                 {parentFolder(picked)},
                 [&name](std::string_view relativePath) { return relativePath == name; })) {
            if (file.relativePath == name) {
                files.push_back(std::move(file));
            }
        }
    }
    ApplicationList list = installedApplications(files);
    if (list.applications.empty()) {
        rejectPick(list.rejected.empty() ? rejectedName(picked)
                                         : "Error: " + list.rejected.front().reason);
        return false;
    }
    const InstalledApplication& application = list.applications.front();
    _targetFamily = TargetFamily::LinuxApplication;
    _linuxPackage = application.flatpak ? LinuxPackage::Flatpak : LinuxPackage::Host;
    processWide().targetBundleIdentifier = application.id;
    processWide().targetApplicationName = application.name;
    // A Flatpak is named as the list of installed applications names it, apart from a host
    // package of the same id.
    const std::optional<std::string> home =
        application.flatpak ? _ports.fileSystem.homeDirectory() : std::nullopt;
    if (home && _ports.desktopApplications) {
        for (const InstalledApplication& installed :
             findInstalledApplications(_ports.fileSystem, *_ports.desktopApplications, *home)
                 .applications) {
            if (installed.flatpak && installed.id == application.id) {
                processWide().targetApplicationName = installed.name;
            }
        }
    }
    return true;
}

void AppDelegate::rejectPick(const std::string& sentence) {
    _isApp = false;
    if (_outlets.fixButton) {
        _outlets.fixButton->setEnabled(false);
    }
    if (_outlets.nameOfAppToFix) {
        _outlets.nameOfAppToFix->setStringValue(sentence);
    }
    if (_outlets.infoField) {
        _outlets.infoField->setString(kRejectedInfo);
    }
}

bool AppDelegate::acceptPick(const std::string& picked) {
    _targetFamily = TargetFamily::Bundle;
    _linuxPackage = LinuxPackage::Any;
    if (picked.ends_with(".desktop")) {
        return acceptDesktopFile(picked);
    }
    // The picked bundle's own identifier decides; the lookup by name only serves items that
    // are not bundles themselves.
    Result<BundleInfo, BundleError> bundle = _ports.bundles.readBundle(picked);
    if (!bundle && bundle.error().failure == BundleFailure::NotABundle) {
        bundle = installedBundle(_ports, *processWide().targetApplicationName);
    }
    processWide().targetBundleIdentifier = bundle ? acceptable(bundle->identifier) : std::nullopt;
    if (processWide().targetBundleIdentifier) {
        return true;
    }
    // When the means of reading failed, the user learns that rather than blame the item.
    const bool readerFailed = !bundle && isReaderFault(bundle.error().failure);
    rejectPick(readerFailed ? "Error: " + bundle.error().reason : rejectedName(picked));
    return false;
}

bool AppDelegate::refuseForeignHome() {
    const std::optional<std::string> refusal = foreignHome();
    if (!refusal) {
        return false;
    }
    _isApp = false;
    if (_outlets.fixButton) {
        _outlets.fixButton->setEnabled(false);
    }
    if (_outlets.nameOfAppToFix) {
        _outlets.nameOfAppToFix->setStringValue(kForeignHomeName);
    }
    if (_outlets.infoField) {
        _outlets.infoField->setString(*refusal);
    }
    return true;
}

void AppDelegate::showAnalysis(const AnalyserResult& analysis) {
    TextView* info = _outlets.infoField;
    if (const auto* hard = std::get_if<HardResetChosen>(&analysis)) {
        if (_outlets.fixButton) {
            _outlets.fixButton->setEnabled(true);
        }
        if (info) {
            info->setString(hard->text);
            insertTextColor(Color::standardRed(), 0, hard->noticeLength, info);
            insertTextColor(Color::standardGray(), hard->listsFrom, hard->listsLength, info);
        }
        showKindChoices();
        return;
    }
    const AnalyserReport& report = std::get<AnalyserReport>(analysis);
    const bool nothingToFix = !_hasPrefPlist && !_hasAppSaveState;
    if (_outlets.fixButton) {
        _outlets.fixButton->setEnabled(!nothingToFix);
    }
    showKindChoices();
    if (!info) {
        return;
    }
    info->setString(report.text);
    if (!nothingToFix && report.listsLength > 0) {
        insertTextColor(Color::standardGray(), report.listsFrom, report.listsLength, info);
    }
}

std::optional<std::string>
AppDelegate::bundleIdentifierForApplicationName(const std::string& name) {
    const Result<BundleInfo, BundleError> bundle = installedBundle(_ports, name);
    return bundle ? acceptable(bundle->identifier) : std::nullopt;
}

} // namespace corvane
