#include "core/fix/HardResetReport.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "core/analysis/AnalysisReport.h"
#include "core/analysis/Discovery.h"

namespace corvane {

namespace {

constexpr const char* kHeading = "The Hard reset takes:";

} // namespace

std::string hardResetCookieLine(const HardResetPreview& preview, const std::string& home) {
    std::string store = "every cookie of the shared store";
    // A store named by its file is shown where it lies; a generic name says nothing more.
    if (isInsideFolder(preview.cookieStore, home)) {
        store += " " + pathRelativeTo(preview.cookieStore, home);
    }
    if (!preview.cookies) {
        return store + " (it could not be read, so its cookies cannot be counted)";
    }
    return store + " (" + plural(*preview.cookies, "cookie", "cookies") + ")";
}

HardResetReport composeHardResetReport(const HardResetPreview& preview, const std::string& home,
                                       const Lines& shortFilePaths, const Lines& shortStatePaths) {
    std::vector<std::string> lines;
    for (const HardResetPreview::Entry& entry : preview.entries) {
        if (!entry.exists) {
            continue;
        }
        std::string line = pathRelativeTo(entry.path, home);
        if (entry.items) {
            line += " (" + plural(*entry.items, "item", "items") + ")";
        }
        lines.push_back(std::move(line));
    }
    if (!preview.cookieStore.empty()) {
        lines.push_back(hardResetCookieLine(preview, home));
    }
    std::string lists = joinLines(Lines(lines.begin(), lines.end()));
    const std::string soft = joinLines(shortFilePaths) + joinLines(shortStatePaths);
    if (!soft.empty()) {
        lists += (lists.empty() ? "" : "\n\n") + soft;
    }
    while (!lists.empty() && lists.back() == '\n') {
        lists.pop_back();
    }

    HardResetReport report;
    report.noticeLength = utf16Length(kHardResetNotice);
    if (lists.empty()) {
        report.text = kHardResetNotice;
        return report;
    }
    const std::string head = std::string(kHardResetNotice) + "\n\n" + kHeading + "\n";
    report.text = head + lists;
    report.listsFrom = utf16Length(head);
    report.listsLength = utf16Length(lists);
    return report;
}

} // namespace corvane
