#include "core/analysis/TargetPlan.h"

#include "core/UserFolders.h"
#include "core/analysis/AnalysisReport.h"
#include "ports/FileSystem.h"

#include <gtest/gtest.h>
#include <set>

namespace corvane::testing {
namespace {

// A home held in memory: every path of a folder or file, absolute; no links.
class MemoryFileSystem : public FileSystem {
public:
    explicit MemoryFileSystem(std::set<std::string> paths) : m_paths(std::move(paths)) {}
    std::optional<std::string> homeDirectory() const override { return "/home/u"; }
    bool fileExists(const std::string& path) const override { return m_paths.count(path) > 0; }
    bool entryExists(const std::string& path) const override { return fileExists(path); }
    std::optional<EntryStamp> stamp(const std::string&) const override { return std::nullopt; }
    std::optional<std::string> resolvedPath(const std::string& path) const override {
        return fileExists(path) || path == "/home/u" ? std::optional(path) : std::nullopt;
    }
    WalkResult walk(const std::string& root,
                    const std::function<bool(const std::string&)>& visit) const override {
        if (!fileExists(root)) {
            return WalkResult::Missing;
        }
        // A set orders a folder before what lies in it.
        for (auto it = m_paths.upper_bound(root + "/");
             it != m_paths.end() && it->rfind(root + "/", 0) == 0; ++it) {
            if (!visit(it->substr(root.size() + 1))) {
                break;
            }
        }
        return WalkResult::Walked;
    }

private:
    std::set<std::string> m_paths;
};

const std::string kLibrary = "/home/u/Library";

TEST(TargetPlan, MarksWhatMovesAndCountsWhatGoesWithIt) {
    MemoryFileSystem fs(
        {kLibrary, kLibrary + "/Preferences", kLibrary + "/Preferences/com.x.App",
         kLibrary + "/Preferences/com.x.App/a", kLibrary + "/Preferences/com.x.App/a/b",
         kLibrary + "/Preferences/com.x.App/c", kLibrary + "/Preferences/com.x.App.plist",
         kLibrary + "/Preferences/com.x.Other.plist", kLibrary + "/Saved Application State",
         kLibrary + "/Saved Application State/com.x.App.savedState",
         kLibrary + "/Saved Application State/com.x.App.savedState/w.plist"});
    const TargetPlan plan = planTarget({"com.x.App", false}, fs, {"/home/u", kLibrary}, nullptr);
    struct Expected {
        std::string shown;
        EntryKind kind;
        bool topmost;
        std::size_t inside;
    };
    const Expected expected[] = {
        {"com.x.App", EntryKind::Preferences, true, 3},
        // The walk lists a folder before what lies in it, not always right before it.
        {"com.x.App.plist", EntryKind::Preferences, true, 0},
        {"com.x.App/a", EntryKind::Preferences, false, 0},
        {"com.x.App/a/b", EntryKind::Preferences, false, 0},
        {"com.x.App/c", EntryKind::Preferences, false, 0},
        {"com.x.App.savedState", EntryKind::SavedState, true, 1},
        {"com.x.App.savedState/w.plist", EntryKind::SavedState, false, 0},
    };
    ASSERT_EQ(plan.entries.size(), std::size(expected));
    for (std::size_t i = 0; i < plan.entries.size(); ++i) {
        SCOPED_TRACE(expected[i].shown);
        EXPECT_EQ(plan.entries[i].shown, expected[i].shown);
        EXPECT_EQ(plan.entries[i].kind, expected[i].kind);
        EXPECT_EQ(plan.entries[i].topmost, expected[i].topmost);
        EXPECT_EQ(plan.entries[i].inside, expected[i].inside);
    }
    EXPECT_EQ(plan.kindsFound(), (std::vector{EntryKind::Preferences, EntryKind::SavedState}));

    // Every kind chosen: the report of the lists as they always were.
    Lines settings = plan.shown({}, ReportList::Settings);
    settings.emplace_back("\n");
    const Report whole =
        composeReport(settings, plan.shown({}, ReportList::WindowState), false, "App.app");
    EXPECT_EQ(composePlanReport(plan, {}, "App.app", "/home/u").text, whole.text);
    // One kind left out: its entries leave the report and the listing, and with the settings
    // out the domain stays.
    const KindSelection stateOnly = KindSelection::only({EntryKind::SavedState});
    const PlanReport narrowed = composePlanReport(plan, stateOnly, "App.app", "/home/u");
    EXPECT_EQ(narrowed.text.find("com.x.App.plist"), std::string::npos);
    EXPECT_NE(narrowed.text.find("com.x.App.savedState/w.plist"), std::string::npos);
    EXPECT_EQ(plan.listed(stateOnly).size(), 2u);
    EXPECT_FALSE(stateOnly.clearsDomain());
    EXPECT_TRUE(composePlanReport(plan, KindSelection::only({}), "App.app", "/home/u").nothing);
}

TEST(Kinds, AListOfKindsReadsBackOrNamesTheFirstThatIsNone) {
    for (const KindRow& row : kindTable()) {
        EXPECT_EQ(kindWithId(row.id), row.kind);
        EXPECT_EQ(&kindRow(row.kind), &row);
    }
    const ParsedKinds twice = parseKindList("saved_state,preferences,saved_state");
    EXPECT_EQ(twice.kinds, (std::vector{EntryKind::SavedState, EntryKind::Preferences}));
    EXPECT_FALSE(twice.unknown);
    for (const char* bad : {"", "saved_state,", "Saved_State", "saved_state,,preferences"}) {
        EXPECT_TRUE(parseKindList(bad).unknown) << bad;
    }
}

} // namespace
} // namespace corvane::testing
