#include "app/AppDelegate.h"
#include "core/ProcessWideValues.h"
#include "core/UserFolders.h"
#include "core/analysis/AnalysisReport.h"
#include "core/fix/HardResetReport.h"
#include "core/fix/ResetTransaction.h"

#include <algorithm>
#include <variant>

namespace corvane {

AnalyserResult AppDelegate::analyser() {
    _fullStatePaths.clear();
    _fullFilePaths.clear();
    _shortStatePaths.clear();
    _shortFilePaths.clear();
    _skippedFolders.clear();

    const std::string name = processWide().targetApplicationName.value_or("");
    const auto located = locateUserFolders(*_services.fileSystem);
    if (const auto* refusal = std::get_if<std::string>(&located)) {
        _hasPrefPlist = false;
        _hasAppSaveState = false;
        return AnalyserReport{*refusal};
    }

    hasPrefFile();
    hasSavedState();

    // A folder that was not searched is named, so that "nothing found" is never a guess.
    std::string notSearched;
    for (std::size_t i = 0; i < _skippedFolders.size(); ++i) {
        const auto earlier = _skippedFolders.begin() + static_cast<std::ptrdiff_t>(i);
        // Both container searches meet a link above them; it is named once.
        if (std::find(_skippedFolders.begin(), earlier, *earlier) == earlier) {
            if (!notSearched.empty()) {
                notSearched += '\n';
            }
            notSearched += skippedFolderLine(*earlier);
        }
    }
    // A Hard reset takes more than the lists, so it shows what it takes even when they are empty.
    if (_isSafari && _safariAggressive) {
        if (_hasPrefPlist || _hasAppSaveState) {
            processWide().reportFileList =
                composeReport(_shortFilePaths, _shortStatePaths, true, name).fileList;
        }
        const UserFolders& folders = std::get<UserFolders>(located);
        const HardResetPreview preview = previewHardReset(
            *_services.fileSystem, folders, processWide().targetBundleIdentifier.value_or(""),
            _services.cookieStore);
        const HardResetReport hard =
            composeHardResetReport(preview, folders.home, _shortFilePaths, _shortStatePaths);
        return HardResetChosen{notSearched.empty() ? hard.text : hard.text + "\n\n" + notSearched,
                               hard.noticeLength, hard.listsFrom, hard.listsLength};
    }
    if (!_hasPrefPlist && !_hasAppSaveState) {
        return AnalyserReport{notSearched.empty() ? nothingFoundMessage(name) : notSearched};
    }
    Report report = composeReport(_shortFilePaths, _shortStatePaths, _isSafari, name);
    processWide().reportFileList = report.fileList;
    return AnalyserReport{notSearched.empty() ? report.text : report.text + notSearched + "\n",
                          report.listsFrom, report.listsLength};
}

} // namespace corvane
