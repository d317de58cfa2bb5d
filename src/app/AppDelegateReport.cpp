#include "app/AppDelegate.h"
#include "core/ProcessWideValues.h"
#include "core/UserFolders.h"
#include "core/analysis/TargetPlan.h"

#include <variant>

namespace corvane {

AnalyserResult AppDelegate::analyser() {
    _fullStatePaths.clear();
    _fullFilePaths.clear();
    _shortStatePaths.clear();
    _shortFilePaths.clear();
    _skippedFolders.clear();
    _plan.reset();
    _kinds = KindSelection();

    const auto located = locateUserFolders(_ports.fileSystem);
    if (const auto* refusal = std::get_if<std::string>(&located)) {
        _hasPrefPlist = false;
        _hasAppSaveState = false;
        return AnalyserReport{*refusal};
    }

    hasPrefFile();
    hasSavedState();
    return composedReport();
}

AnalyserResult AppDelegate::composedReport() const {
    if (!_plan) {
        return AnalyserReport{};
    }
    const std::string name = processWide().targetApplicationName.value_or("");
    const auto located = locateUserFolders(_ports.fileSystem);
    const auto* folders = std::get_if<UserFolders>(&located);
    PlanReport report = composePlanReport(*_plan, _kinds, name, folders ? folders->home : "");
    if (!report.fileList.empty()) {
        processWide().reportFileList = std::move(report.fileList);
    }
    if (report.noticeLength > 0) {
        return HardResetChosen{std::move(report.text), report.noticeLength, report.listsFrom,
                               report.listsLength};
    }
    return AnalyserReport{std::move(report.text), report.listsFrom, report.listsLength};
}

void AppDelegate::chooseKind(EntryKind kind, bool chosen) {
    if (!_plan || _kinds.chosen(kind) == chosen) {
        return;
    }
    _kinds.choose(kind, chosen);
    takeChosenEntries();
    showAnalysis(composedReport());
}

void AppDelegate::showKindChoices() {
    if (!_outlets.kindChoices) {
        return;
    }
    std::vector<KindChoices::Choice> choices;
    if (_plan && _isApp) {
        for (const EntryKind kind : _plan->kindsFound()) {
            const KindRow& row = kindRow(kind);
            choices.push_back({std::string(row.id), std::string(row.label), _kinds.chosen(kind)});
        }
    }
    _outlets.kindChoices->setChoices(choices);
}

} // namespace corvane
