#include "core/analysis/TargetPlan.h"

#include "base/Paths.h"
#include "core/UserFolders.h"
#include "core/analysis/AnalysisReport.h"
#include "core/analysis/SettingsKind.h"
#include "core/fix/HardResetReport.h"
#include "core/linuxapps/InstalledApplications.h"

#include <algorithm>
#include <unordered_map>

namespace corvane {

namespace {

// Marks every entry that lies inside an earlier listed folder of the same kind, and counts for
// each topmost entry what lies beneath it. A walk lists a folder before its contents, so the
// nearest listed ancestor is always seen first.
void markTopmost(std::vector<PlannedEntry>& entries, std::size_t from) {
    // A folder above the shortest entry cannot be listed: its path would be shorter still. For
    // the entries of one folder that leaves nothing to look up, and no map to build.
    std::size_t shortest = std::string::npos;
    for (std::size_t i = from; i < entries.size(); ++i) {
        shortest = std::min(shortest, entries[i].path.size());
    }
    if (std::none_of(entries.begin() + static_cast<std::ptrdiff_t>(from), entries.end(),
                     [shortest](const PlannedEntry& entry) {
                         const std::size_t slash = entry.path.rfind('/');
                         return slash != std::string::npos && slash >= shortest;
                     })) {
        return;
    }
    std::unordered_map<std::string_view, std::size_t> listed;
    for (std::size_t i = from; i < entries.size(); ++i) {
        listed.emplace(entries[i].path, i);
    }
    std::vector<std::size_t> topOf(entries.size());
    for (std::size_t i = from; i < entries.size(); ++i) {
        topOf[i] = i;
        const std::string_view path = entries[i].path;
        for (std::size_t slash = path.rfind('/');
             slash != std::string_view::npos && slash > 0 && slash >= shortest;
             slash = path.rfind('/', slash - 1)) {
            const auto found = listed.find(path.substr(0, slash));
            if (found != listed.end() && found->second < i) {
                entries[i].topmost = false;
                topOf[i] = topOf[found->second];
                ++entries[topOf[i]].inside;
                break;
            }
        }
    }
}

void addSkipped(std::vector<SkippedFolder>& skipped, const std::vector<SkippedFolder>& more) {
    for (const SkippedFolder& folder : more) {
        // Both container searches meet a link above them; it is named once.
        if (std::find(skipped.begin(), skipped.end(), folder) == skipped.end()) {
            skipped.push_back(folder);
        }
    }
}

// The application's folders of the settings database that have keys set. A database that
// cannot be reached leaves each of them not searched, and the rest of the plan as it is.
void addSettings(TargetPlan& plan, const SettingsSearch& search) {
    bool reached = search.database != nullptr;
    for (const SettingsFolder& folder : search.folders) {
        Result<SettingsValues> dumped =
            reached ? search.database->dump(folder) : Result<SettingsValues>(Error{""});
        if (!dumped) {
            reached = false;
            plan.skipped.push_back({folder.path, SkippedFolder::Reason::Unreachable});
            continue;
        }
        if (dumped->empty()) {
            continue;
        }
        plan.entries.push_back({EntryKind::GSettings,
                                settingsFolderShown(folder.path, dumped->size()), folder.path, true,
                                0, std::nullopt});
        plan.settings.push_back({folder, dumped->size()});
    }
    if (search.migratePath && !plan.settings.empty()) {
        plan.notes.push_back("Its Flatpak rebuilds its settings from " + *search.migratePath +
                             " in the desktop's settings database when they are missing, so a "
                             "reset takes that folder too; a host package of the same id shares "
                             "it.");
    }
}

} // namespace

std::vector<SettingsFolder> TargetPlan::settingsFolders(const KindSelection& selection) const {
    std::vector<SettingsFolder> folders;
    if (selection.chosen(EntryKind::GSettings)) {
        for (const PlannedSettings& planned : settings) {
            folders.push_back(planned.folder);
        }
    }
    return folders;
}

std::vector<EntryKind> TargetPlan::kindsFound() const {
    std::vector<EntryKind> kinds;
    for (const KindRow& row : kindTable()) {
        if (std::any_of(entries.begin(), entries.end(),
                        [&row](const PlannedEntry& entry) { return entry.kind == row.kind; })) {
            kinds.push_back(row.kind);
        }
    }
    return kinds;
}

std::vector<std::string> TargetPlan::takenKinds(const KindSelection& selection) const {
    std::vector<std::string> ids;
    for (const EntryKind kind : kindsFound()) {
        if (selection.chosen(kind)) {
            ids.emplace_back(kindRow(kind).id);
        }
    }
    return ids;
}

bool TargetPlan::hasAny(const KindSelection& selection) const {
    return std::any_of(entries.begin(), entries.end(), [&selection](const PlannedEntry& entry) {
        return selection.chosen(entry.kind);
    });
}

std::vector<std::string> TargetPlan::listed(const KindSelection& selection) const {
    std::vector<std::string> paths;
    for (const PlannedEntry& entry : entries) {
        if (selection.chosen(entry.kind) && entry.kind != EntryKind::HardReset &&
            entry.kind != EntryKind::GSettings) {
            paths.push_back(entry.path);
        }
    }
    return paths;
}

Lines TargetPlan::shown(const KindSelection& selection, ReportList list) const {
    Lines lines;
    for (const PlannedEntry& entry : entries) {
        if (selection.chosen(entry.kind) && kindRow(entry.kind).list == list) {
            lines.push_back(entry.shown);
        }
    }
    return lines;
}

std::vector<std::string> TargetPlan::hardEntries(const KindSelection& selection) const {
    std::vector<std::string> paths;
    if (hard && selection.chosen(EntryKind::HardReset)) {
        for (const HardResetPreview::Entry& entry : hard->entries) {
            if (entry.exists) {
                paths.push_back(entry.path);
            }
        }
    }
    return paths;
}

bool kindOfPackage(EntryKind kind, LinuxPackage package) {
    // The settings database is the host's, and a Flatpak reaches it too (or migrates from it).
    if (package == LinuxPackage::Any || kind == EntryKind::GSettings) {
        return true;
    }
    const bool sandbox = kind == EntryKind::FlatpakConfig || kind == EntryKind::FlatpakState ||
                         kind == EntryKind::FlatpakCache;
    return sandbox == (package == LinuxPackage::Flatpak);
}

TargetPlan planTarget(PlanRequest request, const Ports& ports, const UserFolders& folders,
                      const Tick& tick, const std::vector<std::string>* installedIds) {
    std::optional<SettingsSearch> settings;
    if (request.family == TargetFamily::LinuxApplication) {
        settings =
            settingsSearchFor(request.identifier, ports.settingsDatabase, ports.desktopApplications,
                              ports.sessionProcesses, ports.fileSystem, folders.home, installedIds);
        request.settings = &*settings;
    }
    return planTarget(request, ports.fileSystem, folders, &ports.cookieStore, tick);
}

TargetPlan planTarget(const PlanRequest& request, const FileSystem& fs, const UserFolders& folders,
                      CookieStore* cookies, const Tick& tick) {
    TargetPlan plan;
    plan.identifier = request.identifier;
    plan.family = request.family;
    plan.package = request.package;
    plan.isSafari =
        request.family == TargetFamily::Bundle && isSafariIdentifier(request.identifier);
    const KindSearch search{fs, folders, request.identifier, tick};
    for (const KindRow& row : kindTable()) {
        if (!row.find || row.family != request.family || (row.safariOnly && !plan.isSafari) ||
            !kindOfPackage(row.kind, request.package)) {
            continue;
        }
        FolderSearch found = row.find(search);
        const std::size_t from = plan.entries.size();
        // Grown by what each kind found rather than doubled: a kind may find 100,000 entries.
        plan.entries.reserve(from + found.entries.fullPaths.size());
        for (std::size_t i = 0; i < found.entries.fullPaths.size(); ++i) {
            plan.entries.push_back({row.kind, std::move(found.entries.shown[i]),
                                    std::move(found.entries.fullPaths[i]), true, 0, std::nullopt});
        }
        markTopmost(plan.entries, from);
        addSkipped(plan.skipped, found.skipped);
    }
    if (request.family == TargetFamily::LinuxApplication) {
        if (applicationIdFit(request.identifier) == ApplicationIdFit::TooGeneric) {
            plan.notes.push_back(request.identifier +
                                 " has no dot in its id, so no folder is its own by name: only "
                                 "its settings in the desktop's settings database were looked "
                                 "for.");
        }
        if (request.settings) {
            addSettings(plan, *request.settings);
        }
    }
    if (request.safariHard) {
        addHardReset(plan, fs, folders, cookies);
    }
    return plan;
}

void addHardReset(TargetPlan& plan, const FileSystem& fs, const UserFolders& folders,
                  CookieStore* cookies) {
    if (!plan.isSafari || plan.hard) {
        return;
    }
    plan.hard = previewHardReset(fs, folders, plan.identifier, cookies);
    for (const HardResetPreview::Entry& entry : plan.hard->entries) {
        if (entry.exists) {
            plan.entries.push_back({EntryKind::HardReset, pathRelativeTo(entry.path, folders.home),
                                    entry.path, true, 0, entry.items});
        }
    }
}

std::string notSearchedText(const std::vector<SkippedFolder>& skipped) {
    std::string text;
    for (const SkippedFolder& folder : skipped) {
        text += (text.empty() ? "" : "\n") + skippedFolderLine(folder);
    }
    return text;
}

namespace {

// The folders not searched, then the plan's notes.
std::string afterListsText(const TargetPlan& plan) {
    std::string text = notSearchedText(plan.skipped);
    for (const std::string& note : plan.notes) {
        text += (text.empty() ? "" : "\n") + note;
    }
    return text;
}

} // namespace

PlanReport composePlanReport(const TargetPlan& plan, const KindSelection& selection,
                             const std::string& applicationName, const std::string& home) {
    Lines settings = plan.shown(selection, ReportList::Settings);
    if (!settings.empty()) {
        settings.emplace_back("\n");
    }
    const Lines state = plan.shown(selection, ReportList::WindowState);
    const std::string notSearched = afterListsText(plan);
    PlanReport report;
    // A Hard reset takes more than the lists, so it shows what it takes even when they are empty.
    if (plan.hard && selection.chosen(EntryKind::HardReset)) {
        if (!settings.empty() || !state.empty()) {
            report.fileList = composeReport(settings, state, true, applicationName).fileList;
        }
        const HardResetReport hard = composeHardResetReport(*plan.hard, home, settings, state);
        report.text = notSearched.empty() ? hard.text : hard.text + "\n\n" + notSearched;
        report.noticeLength = hard.noticeLength;
        report.listsFrom = hard.listsFrom;
        report.listsLength = hard.listsLength;
        return report;
    }
    if (settings.empty() && state.empty()) {
        report.nothing = true;
        if (plan.hasAny(KindSelection())) {
            report.text = "Nothing is chosen: tick a kind of entry below for Fix to remove it.";
        } else {
            report.text = notSearched.empty() ? nothingFoundMessage(applicationName) : notSearched;
        }
        return report;
    }
    Report composed = composeReport(settings, state, plan.isSafari, applicationName);
    report.text = std::move(composed.text);
    if (!notSearched.empty()) {
        report.text += notSearched;
        report.text += '\n';
    }
    report.fileList = std::move(composed.fileList);
    report.listsFrom = composed.listsFrom;
    report.listsLength = composed.listsLength;
    return report;
}

} // namespace corvane
