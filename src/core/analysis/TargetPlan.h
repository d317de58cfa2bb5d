#pragma once

#include "core/analysis/AnalysisReport.h"
#include "core/analysis/Kinds.h"
#include "core/fix/ResetTransaction.h"
#include "core/linuxapps/LinuxPackage.h"
#include "ports/SettingsDatabase.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace corvane {

class CookieStore;
struct SettingsSearch;

// Whether the kind's entries belong to the package: the sandbox's kinds to the Flatpak, the
// base folders' kinds to the host package, the settings database to both.
bool kindOfPackage(EntryKind kind, LinuxPackage package);

// What a plan is asked for: the target, and whether Safari's Hard reset is part of it.
struct PlanRequest {
    std::string identifier;
    bool safariHard = false;
    // The kinds of a bundle's Library, or those of a Linux desktop application's folders.
    TargetFamily family = TargetFamily::Bundle;
    LinuxPackage package = LinuxPackage::Any;
    // Where a Linux application's settings database folders are looked for; none: not at all.
    const SettingsSearch* settings = nullptr;
};

// A folder of the settings database a reset would take, with how many keys are set in it.
struct PlannedSettings {
    SettingsFolder folder;
    std::size_t keys = 0;
};

// One entry a reset would take.
struct PlannedEntry {
    EntryKind kind;
    std::string shown;                // as the report lists it
    std::string path;                 // absolute
    bool topmost = true;              // it moves itself, rather than inside a listed folder
    std::size_t inside = 0;           // for a topmost entry: how many listed entries lie beneath it
    std::optional<std::size_t> items; // a Hard reset's folder: every item beneath it
};

// Everything a face shows and a reset takes for one target, found in one pass.
struct TargetPlan {
    std::string identifier;
    TargetFamily family = TargetFamily::Bundle;
    LinuxPackage package = LinuxPackage::Any;
    bool isSafari = false;
    std::vector<PlannedEntry> entries;  // in the report's order
    std::vector<SkippedFolder> skipped; // each folder once
    std::optional<HardResetPreview> hard;
    // The gsettings kind's folders, which its entries name by their paths.
    std::vector<PlannedSettings> settings;
    // Said after the lists: why an id was searched less, what else a reset takes.
    std::vector<std::string> notes;

    // The kinds that found something, in table order.
    std::vector<EntryKind> kindsFound() const;
    bool hasAny(const KindSelection& selection) const;
    // The chosen folders of the settings database.
    std::vector<SettingsFolder> settingsFolders(const KindSelection& selection) const;
    // The chosen entries' absolute paths, in the report's order, the Hard reset's and the
    // settings database's left out.
    std::vector<std::string> listed(const KindSelection& selection) const;
    // The chosen entries as the report lists them: each list's shown texts, viewed in the plan.
    Lines shown(const KindSelection& selection, ReportList list) const;
    // The ids of the chosen kinds that found something, as a record keeps them.
    std::vector<std::string> takenKinds(const KindSelection& selection) const;
    // The Hard reset's entries that are there, when it is planned and chosen.
    std::vector<std::string> hardEntries(const KindSelection& selection) const;
};

// Walks the user's Library once for every kind that applies to the target; `tick` is called for
// every entry seen. The only place the Library is searched for a target's entries.
TargetPlan planTarget(const PlanRequest& request, const FileSystem& fs, const UserFolders& folders,
                      CookieStore* cookies, const Tick& tick = {});

// The plan as every face makes it through the host's ports: a Linux application's settings
// database folders are looked for too. `installedIds`, when the caller has read them already,
// spares reading every desktop file again.
TargetPlan planTarget(PlanRequest request, const Ports& ports, const UserFolders& folders,
                      const Tick& tick = {},
                      const std::vector<std::string>* installedIds = nullptr);

// Adds the Hard reset to a plan made without it, once the user chose it.
void addHardReset(TargetPlan& plan, const FileSystem& fs, const UserFolders& folders,
                  CookieStore* cookies);

// The report of the chosen kinds, as the window shows it.
struct PlanReport {
    std::string text;
    std::int64_t noticeLength = 0; // a Hard reset's notice at the start, shown in red
    std::int64_t listsFrom = 0;    // the listed entries, shown in grey (UTF-16 code units)
    std::int64_t listsLength = 0;
    std::string fileList; // the settings list as the text holds it, "~\n" when empty
    bool nothing = false; // nothing chosen was found: the text says so, or why
};
PlanReport composePlanReport(const TargetPlan& plan, const KindSelection& selection,
                             const std::string& applicationName, const std::string& home);

// The lines naming the folders that were not searched, each once.
std::string notSearchedText(const std::vector<SkippedFolder>& skipped);

} // namespace corvane
