#include "analysis/Discovery.h"

#include "app/AppDelegate.h"
#include "app/ProcessWideValues.h"
#include "app/ResponsiveWork.h"
#include "base/UserFolders.h"
#include "base/Utf16.h"
#include "platform/FileSystem.h"
#include "platform/Services.h"

#include <variant>

namespace corvane {

bool identifierMatches(std::string_view relativePath, std::string_view identifier) {
    return !identifier.empty() && relativePath.find(identifier) != std::string_view::npos;
}

MatchedEntries findMatchingEntries(const FileSystem& fs, const std::string& folder,
                                   const std::string& home, std::string_view needle,
                                   ResponsiveWork* work, LetterCase letterCase) {
    MatchedEntries found;
    if (needle.empty() || !isWalkableRoot(fs, folder, home)) {
        return found;
    }
    fs.walk(folder, [&](const std::string& relativePath) {
        if (work) {
            work->tick();
        }
        const bool matches = letterCase == LetterCase::Significant
                                 ? identifierMatches(relativePath, needle)
                                 : containsIgnoringCase(relativePath, needle);
        if (matches) {
            found.fullPaths.push_back(appendPathComponent(folder, relativePath));
            found.relativePaths.push_back(relativePath);
        }
        return true;
    });
    return found;
}

Alert safariModePrompt() {
    Alert alert;
    alert.messageText = "Corvane";
    alert.informativeText =
        "Choose 'Soft' to solve most problems with Safari. A 'Hard' reset will completely "
        "remove all Safari's cookies, history, extensions, bookmarks, top sites and all other "
        "data. Normally this is not necessary and a 'soft' reset will resolve most problems, "
        "including many adware hijacks. It is recommended a 'Hard' reset only be performed if a "
        "'Soft' reset does not resolve the issue.";
    alert.buttons = {{"Hard", std::string()}, {"Soft", std::string("\r")}};
    return alert;
}

void AppDelegate::hasPrefFile() {
    const auto located = locateUserFolders(*_services.fileSystem);
    const auto* folders = std::get_if<UserFolders>(&located);
    const std::string identifier = processWide().targetBundleIdentifier.value_or("");
    std::size_t added = 0;

    if (folders) {
        const std::string preferences = appendPathComponent(folders->library, "Preferences");
        ResponsiveWork work(_services.application, _outlets.progressIndicator,
                            "Looking through your preferences");
        MatchedEntries found = findMatchingEntries(*_services.fileSystem, preferences,
                                                   folders->home, identifier, &work);
        _shortFilePaths.insert(_shortFilePaths.end(), found.relativePaths.begin(),
                               found.relativePaths.end());
        _fullFilePaths.insert(_fullFilePaths.end(), found.fullPaths.begin(), found.fullPaths.end());
        added += found.fullPaths.size();
    }

    if (folders && identifier.find(kSafariIdentifierMarker) != std::string::npos) {
        _safariAggressive = false;
        _isSafari = true;
        const std::string safariFolder = appendPathComponent(folders->library, "Safari");
        const int answer = _services.alerts->runModal(safariModePrompt());
        // Hard only when its own button was pressed: Return, Escape and closing the question
        // all keep the Soft reset.
        if (answer == kAlertFirstButtonReturn) {
            _safariAggressive = true;
            processWide().safariFolder = safariFolder;
            if (_outlets.infoField) {
                _outlets.infoField->setString(kHardResetNotice);
            }
        }

        const std::string adware = appendPathComponent(folders->home, kAdwareFolder);
        if (_services.fileSystem->fileExists(adware)) {
            _shortFilePaths.push_back(kAdwareLabel);
            _fullFilePaths.push_back(adware);
            ++added;
        }

        const std::string lastSession = appendPathComponent(safariFolder, kLastSessionFile);
        const MatchedEntries sessions = findMatchingEntries(*_services.fileSystem, safariFolder,
                                                            folders->home, kLastSessionFile);
        for (std::size_t i = 0; i < sessions.relativePaths.size(); ++i) {
            _shortFilePaths.push_back(kLastSessionFile);
            _fullFilePaths.push_back(lastSession);
            ++added;
        }
    }

    _hasPrefPlist = added > 0;
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
    const std::string savedState = appendPathComponent(folders->library, "Saved Application State");
    ResponsiveWork work(_services.application, _outlets.progressIndicator,
                        "Looking through saved window state");
    MatchedEntries found =
        findMatchingEntries(*_services.fileSystem, savedState, folders->home, identifier, &work);
    _hasAppSaveState = !found.fullPaths.empty();
    _shortStatePaths.insert(_shortStatePaths.end(), found.relativePaths.begin(),
                            found.relativePaths.end());
    _fullStatePaths.insert(_fullStatePaths.end(), found.fullPaths.begin(), found.fullPaths.end());
}

} // namespace corvane
