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

#include <algorithm>
#include <variant>

namespace corvane {

namespace {

// Adds the chosen entries of one of the report's lists, as shown and as their absolute paths;
// true when there were any. The settings list ends with its "\n" entry, as the report wants.
bool takeList(const TargetPlan& plan, const KindSelection& kinds, ReportList list, PathList& shown,
              PathList& full) {
    const std::size_t before = full.size();
    const auto taken = [&](const PlannedEntry& entry) {
        return kindRow(entry.kind).list == list && kinds.chosen(entry.kind);
    };
    // Sized first: the lists may name 100,000 entries.
    const auto count =
        static_cast<std::size_t>(std::count_if(plan.entries.begin(), plan.entries.end(), taken));
    shown.reserve(shown.size() + count + 1);
    full.reserve(before + count);
    for (const PlannedEntry& entry : plan.entries) {
        if (taken(entry)) {
            shown.push_back(entry.shown);
            full.push_back(entry.path);
        }
    }
    const bool any = full.size() > before;
    if (any && list == ReportList::Settings) {
        shown.emplace_back("\n");
    }
    return any;
}

} // namespace

const TargetPlan* AppDelegate::currentPlan() {
    const std::string identifier = processWide().targetBundleIdentifier.value_or("");
    if (_plan && _plan->identifier == identifier && _plan->family == _targetFamily &&
        _plan->package == _linuxPackage) {
        return &*_plan;
    }
    const auto located = locateUserFolders(_ports.fileSystem);
    const auto* folders = std::get_if<UserFolders>(&located);
    if (!folders) {
        return nullptr;
    }
    ResponsiveWork work(&_windowParts.application, _outlets.progressIndicator,
                        _targetFamily == TargetFamily::Bundle ? "Looking through your Library"
                                                              : "Looking through your folders");
    _plan = planTarget({identifier, false, _targetFamily, _linuxPackage}, _ports, *folders,
                       [&work] { work.tick(); });
    _skippedFolders = _plan->skipped;
    return &*_plan;
}

void AppDelegate::hasPrefFile() {
    _hasPrefPlist = false;
    const TargetPlan* plan = currentPlan();
    if (!plan) {
        return;
    }
    if (plan->isSafari) {
        _safariAggressive = false;
        _isSafari = true;
        // Hard only when its own button was pressed, Soft by its button or Return; Cancel,
        // Escape and closing the question choose neither, and the pick is given up.
        const int answer = _windowParts.alerts.runModal(safariModePrompt());
        _safariCancelled = answer != kAlertFirstButtonReturn && answer != kAlertSecondButtonReturn;
        if (answer == kAlertFirstButtonReturn) {
            _safariAggressive = true;
            const UserFolders folders = std::get<UserFolders>(locateUserFolders(_ports.fileSystem));
            processWide().safariFolder = appendPathComponent(folders.library, "Safari");
            addHardReset(*_plan, _ports.fileSystem, folders, &_ports.cookieStore);
            if (_outlets.infoField) {
                _outlets.infoField->setString(kHardResetNotice);
            }
        }
    }
    _hasPrefPlist = takeList(*plan, _kinds, ReportList::Settings, _shortFilePaths, _fullFilePaths);
}

void AppDelegate::hasSavedState() {
    _hasAppSaveState = false;
    const TargetPlan* plan = currentPlan();
    if (!plan) {
        return;
    }
    _hasAppSaveState =
        takeList(*plan, _kinds, ReportList::WindowState, _shortStatePaths, _fullStatePaths);
}

void AppDelegate::takeChosenEntries() {
    _shortFilePaths.clear();
    _fullFilePaths.clear();
    _shortStatePaths.clear();
    _fullStatePaths.clear();
    _hasPrefPlist = false;
    _hasAppSaveState = false;
    if (!_plan) {
        return;
    }
    _hasPrefPlist = takeList(*_plan, _kinds, ReportList::Settings, _shortFilePaths, _fullFilePaths);
    _hasAppSaveState =
        takeList(*_plan, _kinds, ReportList::WindowState, _shortStatePaths, _fullStatePaths);
}

} // namespace corvane
