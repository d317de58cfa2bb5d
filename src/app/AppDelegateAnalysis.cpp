#include "app/Alerts.h"
#include "app/AppDelegate.h"
#include "app/Application.h"
#include "app/Dialogs.h"
#include "app/ResponsiveWork.h"
#include "base/Paths.h"
#include "core/ProcessWideValues.h"
#include "core/UserFolders.h"
#include "core/analysis/Discovery.h"
#include "ports/FileSystem.h"
#include "ports/Services.h"

#include <variant>

namespace corvane {

void AppDelegate::hasPrefFile() {
    const auto located = locateUserFolders(*_services.fileSystem);
    const auto* folders = std::get_if<UserFolders>(&located);
    _hasPrefPlist = false;
    if (!folders) {
        return;
    }
    const std::string identifier = processWide().targetBundleIdentifier.value_or("");
    ResponsiveWork work(_services.application, _outlets.progressIndicator,
                        "Looking through your preferences");
    const FolderSearch found = findPreferenceEntries(*_services.fileSystem, *folders, identifier,
                                                     [&work] { work.tick(); });
    _skippedFolders.insert(_skippedFolders.end(), found.skipped.begin(), found.skipped.end());

    if (isSafariIdentifier(identifier)) {
        _safariAggressive = false;
        _isSafari = true;
        // Hard only when its own button was pressed, Soft by its button or Return; Cancel,
        // Escape and closing the question choose neither, and the pick is given up.
        const int answer = _services.alerts->runModal(safariModePrompt());
        _safariCancelled = answer != kAlertFirstButtonReturn && answer != kAlertSecondButtonReturn;
        if (answer == kAlertFirstButtonReturn) {
            _safariAggressive = true;
            processWide().safariFolder = appendPathComponent(folders->library, "Safari");
            if (_outlets.infoField) {
                _outlets.infoField->setString(kHardResetNotice);
            }
        }
    }

    _shortFilePaths.insert(_shortFilePaths.end(), found.entries.shown.begin(),
                           found.entries.shown.end());
    _fullFilePaths.insert(_fullFilePaths.end(), found.entries.fullPaths.begin(),
                          found.entries.fullPaths.end());
    _hasPrefPlist = !found.entries.empty();
    if (_hasPrefPlist) {
        _shortFilePaths.push_back("\n");
    }
}

void AppDelegate::hasSavedState() {
    const auto located = locateUserFolders(*_services.fileSystem);
    const auto* folders = std::get_if<UserFolders>(&located);
    _hasAppSaveState = false;
    if (!folders) {
        return;
    }
    const std::string identifier = processWide().targetBundleIdentifier.value_or("");
    ResponsiveWork work(_services.application, _outlets.progressIndicator,
                        "Looking through saved window state");
    const FolderSearch found = findSavedStateEntries(*_services.fileSystem, *folders, identifier,
                                                     [&work] { work.tick(); });
    _skippedFolders.insert(_skippedFolders.end(), found.skipped.begin(), found.skipped.end());
    _hasAppSaveState = !found.entries.empty();
    _shortStatePaths.insert(_shortStatePaths.end(), found.entries.shown.begin(),
                            found.entries.shown.end());
    _fullStatePaths.insert(_fullStatePaths.end(), found.entries.fullPaths.begin(),
                           found.entries.fullPaths.end());
}

} // namespace corvane
