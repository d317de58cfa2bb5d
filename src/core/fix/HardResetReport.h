#pragma once

#include "core/analysis/AnalysisReport.h"
#include "core/fix/ResetTransaction.h"

#include <cstdint>
#include <string>
#include <vector>

namespace corvane {

// What the window shows once a Hard Safari reset is chosen: the notice, then what the reset
// takes. Locations and lengths count UTF-16 code units.
struct HardResetReport {
    std::string text;
    std::int64_t noticeLength = 0; // the notice at the start, shown in red
    std::int64_t listsFrom = 0;    // the entries, shown in the report's grey
    std::int64_t listsLength = 0;
};

// "every cookie of the shared store Library/Cookies/Cookies.binarycookies (2 cookies)", or that
// the store could not be read and so its cookies cannot be counted.
std::string hardResetCookieLine(const HardResetPreview& preview, const std::string& home);

// The notice, then the preview's entries that exist (paths relative to `home`, a folder with how
// many items it holds), every cookie of the shared store, and the preference and saved-state
// entries as the Soft report lists them (`shortFilePaths` ends with its "\n" entry when not
// empty).
HardResetReport composeHardResetReport(const HardResetPreview& preview, const std::string& home,
                                       const Lines& shortFilePaths, const Lines& shortStatePaths);

} // namespace corvane
