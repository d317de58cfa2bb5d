#include "app/AppDelegate.h"
#include "core/ProcessWideValues.h"
#include "core/UserFolders.h"
#include "core/analysis/AnalysisReport.h"

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
    if (!_hasPrefPlist && !_hasAppSaveState) {
        return AnalyserReport{notSearched.empty() ? nothingFoundMessage(name) : notSearched};
    }
    Report report = composeReport(_shortFilePaths, _shortStatePaths, _isSafari, name);
    processWide().reportFileList = report.fileList;
    if (_isSafari && _safariAggressive) {
        return HardResetChosen{};
    }
    return AnalyserReport{notSearched.empty() ? report.text : report.text + notSearched + "\n",
                          report.listsFrom, report.listsLength};
}

} // namespace corvane
