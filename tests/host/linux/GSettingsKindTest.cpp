#include "DconfSession.h"
#include "core/UserFolders.h"
#include "core/analysis/SettingsKind.h"
#include "core/analysis/TargetPlan.h"
#include "core/fix/Restore.h"
#include "host/linux/DconfSettingsDatabase.h"
#include "host/linux/XdgDesktopApplications.h"
#include "host/posix/ChildProcess.h"
#include "ports/SessionProcesses.h"
#include "support/EnvironmentFileSystem.h"
#include "support/InertPorts.h"
#include "support/RecordingTrash.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <map>

namespace corvane::testing {
namespace {

constexpr const char* kEditor = "org.gnome.TextEditor";
const SettingsFolder kEditorFolder{"/org/gnome/TextEditor/", {"/org/gnome/TextEditor/Devel/"}};
const SettingsFolder kSessionFolder{"/org/gnome/text-editor/session/", {}};

const SettingsValues kEditorKeys = {
    {"/org/gnome/TextEditor/style-scheme", "'classic-dark'"},
    {"/org/gnome/TextEditor/show-line-numbers", "true"},
    {"/org/gnome/TextEditor/window/size", "(uint32 800, uint32 600)"},
};
const SettingsValues kSessionKeys = {{"/org/gnome/text-editor/session/last", "@as []"}};
const SettingsValues kDevelKeys = {{"/org/gnome/TextEditor/Devel/style-scheme", "'x'"}};

::testing::AssertionResult done(const Status& status) {
    if (status.ok()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << status.error().reason;
}

std::string schema(const std::string& id, const std::string& path) {
    return "  <schema id=\"" + id + "\" path=\"" + path +
           "\">\n    <key name=\"k\" type=\"b\"><default>false</default></key>\n  </schema>\n";
}

// What the session tells of Flatpaks: the metadata of each application.
class FlatpakMetadata final : public SessionProcesses {
public:
    Result<std::vector<ProcessCgroup>> userProcessCgroups() const override {
        return std::vector<ProcessCgroup>{};
    }
    std::vector<FlatpakInstance> flatpakInstances() const override { return {}; }
    std::vector<std::string> flatpakMetadata(const std::string& applicationId) const override {
        const auto found = metadata.find(applicationId);
        return found == metadata.end() ? std::vector<std::string>{}
                                       : std::vector<std::string>{found->second};
    }
    std::optional<ProgramFile> programFile(const std::string&) const override {
        return std::nullopt;
    }
    void terminate(pid_t) override {}
    std::map<std::string, std::string> metadata;
};

// A database that fails every call, as one with no session bus does.
class Unreachable final : public SettingsDatabase {
public:
    Result<SettingsValues> dump(const SettingsFolder&) override { return Error{"no bus"}; }
    Result<std::vector<std::string>> lockedKeys(const SettingsFolder&) override {
        return Error{"no bus"};
    }
    Status replace(const SettingsFolder&, const SettingsValues&) override {
        return Error{"no bus"};
    }
};

// GNOME Text Editor as installed: its desktop file, its compiled schemas in a data folder of
// the test's own, its drafts and settings folder in the home; a development build beside it
// whose settings folder lies inside the stable one's.
class GSettingsKind : public ::testing::Test {
protected:
    GSettingsKind() {
        const std::string data = home.path() + "/system/share";
        fs.values = {{"XDG_DATA_HOME", home.path() + "/.local/share"}, {"XDG_DATA_DIRS", data}};
        for (const char* id :
             {kEditor, "org.gnome.TextEditor.Devel", "org.example.Notes", "corvane.locks"}) {
            home.file(std::string("system/share/applications/") + id + ".desktop",
                      "[Desktop Entry]\nType=Application\nName=" + std::string(id) +
                          "\nExec=run\n");
        }
        writeFile(data + "/glib-2.0/schemas/org.gnome.TextEditor.gschema.xml",
                  "<schemalist>\n" + schema(kEditor, kEditorFolder.path) +
                      schema("org.gnome.TextEditor.Session", kSessionFolder.path) +
                      schema("org.gnome.TextEditor.Unused", "/org/gnome/text-editor/unused/") +
                      schema("org.gnome.TextEditorial", "/org/gnome/editorial/") +
                      "</schemalist>\n");
        compiled = runChildProcess("/usr/bin/glib-compile-schemas", {data + "/glib-2.0/schemas"},
                                   {std::chrono::seconds(30), std::nullopt})
                       .exitStatus == 0;
        desktop.emplace(std::vector<std::string>{data + "/glib-2.0/schemas"});
        home.file(".local/share/org.gnome.TextEditor/drafts/1", "draft");
        home.file(".config/org.gnome.TextEditor/settings.ini", "[window]\n");
        for (const SettingsFolder& folder :
             {kEditorFolder, kSessionFolder, SettingsFolder{"/org/gnome/TextEditor/Devel/", {}},
              SettingsFolder{"/org/example/", {}}, SettingsFolder{"/corvane/locks/", {}}}) {
            EXPECT_TRUE(done(database.replace(folder, {})));
        }
    }

    UserFolders folders() const { return {home.path(), home.library()}; }
    std::string recordsFolder() const { return ResetRecords::folderIn(home.library()); }

    TargetPlan plan(const std::string& id, SettingsDatabase* settings) {
        search = settingsSearchFor(id, settings, &*desktop, &session, fs, home.path());
        PlanRequest request{id, false, TargetFamily::LinuxApplication};
        request.settings = &search;
        return planTarget(request, fs, folders(), nullptr);
    }

    ResetOutcome reset(const TargetPlan& planned, SettingsDatabase* settings) {
        const KindSelection all;
        ResetPlan resetPlan;
        resetPlan.identifier = planned.identifier;
        resetPlan.applicationName = planned.identifier;
        resetPlan.listed = planned.listed(all);
        resetPlan.settings = planned.settingsFolders(all);
        resetPlan.clearsDomain = false;
        resetPlan.kinds = planned.takenKinds(all);
        InertPorts doubles;
        doubles.fileSystem = &fs;
        doubles.trash = &trash;
        doubles.settingsDatabase = settings;
        Result<ResetTransaction> transaction = ResetTransaction::begin(resetPlan, doubles.ports());
        EXPECT_TRUE(transaction.ok());
        return transaction ? transaction->apply(false) : ResetOutcome{};
    }

    SettingsValues dumped(const SettingsFolder& folder) {
        const Result<SettingsValues> values = database.dump(folder);
        EXPECT_TRUE(values.ok()) << values.error().reason;
        return values ? *values : SettingsValues{};
    }

    TempHome home;
    EnvironmentFileSystem fs;
    RecordingTrash trash{home.path() + "/.test-trash"};
    DconfSettingsDatabase database;
    std::optional<XdgDesktopApplications> desktop;
    FlatpakMetadata session;
    SettingsSearch search;
    bool compiled = false;
};

TEST_F(GSettingsKind, ListResetAndRestoreGiveBackEveryValue) {
    ASSERT_TRUE(compiled);
    ASSERT_TRUE(done(database.replace(kEditorFolder, kEditorKeys)));
    ASSERT_TRUE(done(database.replace(kSessionFolder, kSessionKeys)));
    ASSERT_TRUE(done(database.replace({"/org/gnome/TextEditor/Devel/", {}}, kDevelKeys)));
    const SettingsValues lookalike = {{"/org/gnome/editorial/k", "true"}};
    ASSERT_TRUE(done(database.replace({"/org/gnome/editorial/", {}}, lookalike)));

    const TargetPlan listed = plan(kEditor, &database);
    std::vector<std::string> shown;
    for (const PlannedEntry& entry : listed.entries) {
        if (entry.kind == EntryKind::GSettings) {
            shown.push_back(entry.shown);
        }
    }
    // The folders with keys set, the empty schema folder and a longer id's folder left out.
    EXPECT_EQ(shown, (std::vector<std::string>{
                         settingsFolderShown(kEditorFolder.path, kEditorKeys.size()),
                         settingsFolderShown(kSessionFolder.path, kSessionKeys.size())}));
    const std::string report = composePlanReport(listed, {}, "Text Editor", home.path()).text;
    for (const std::string& line : shown) {
        EXPECT_NE(report.find(line), std::string::npos) << report;
    }

    const ResetOutcome outcome = reset(listed, &database);
    EXPECT_EQ(outcome.ending, ResetEnding::Done) << resetAccountText("Text Editor", outcome);
    EXPECT_TRUE(dumped(kEditorFolder).empty());
    EXPECT_TRUE(dumped(kSessionFolder).empty());
    EXPECT_EQ(dumped({"/org/gnome/TextEditor/Devel/", {}}), kDevelKeys);
    EXPECT_EQ(dumped({"/org/gnome/editorial/", {}}), lookalike);
    EXPECT_FALSE(home.exists(".config/org.gnome.TextEditor"));
    EXPECT_EQ(contentOf(home.path() + "/.local/share/org.gnome.TextEditor/drafts/1"), "draft");

    ResetRecords records(recordsFolder());
    LatestRecord latest = records.latest();
    ASSERT_TRUE(std::holds_alternative<ResetRecord>(latest));
    ResetRecord record = std::get<ResetRecord>(latest);
    EXPECT_EQ(record.settings, (std::vector<SettingsDump>{{kEditorFolder, kEditorKeys},
                                                          {kSessionFolder, kSessionKeys}}));

    // Written since the reset: kept in a record of its own before the old values come back.
    const SettingsValues since = {{"/org/gnome/TextEditor/style-scheme", "'Adwaita'"}};
    ASSERT_TRUE(done(database.replace(kEditorFolder, since)));
    const Confinement confinement = Confinement::ofHome(fs, folders());
    const RestorePlan restorePlan = planRestore(record, trash, fs, confinement, &database);
    EXPECT_EQ(restorePlan.settingsReplaced,
              std::vector<std::string>{settingsFolderShown(kEditorFolder.path, 1)});
    const RestoreResult result =
        restoreAndKeepRecord(records, restorePlan, trash, fs, folders(), nullptr, &database);
    EXPECT_TRUE(result.whole()) << restoreResultText(record, result);
    EXPECT_EQ(dumped(kEditorFolder), kEditorKeys);
    EXPECT_EQ(dumped(kSessionFolder), kSessionKeys);
    EXPECT_EQ(dumped({"/org/gnome/TextEditor/Devel/", {}}), kDevelKeys);
    EXPECT_EQ(contentOf(home.path() + "/.config/org.gnome.TextEditor/settings.ini"), "[window]\n");
    EXPECT_TRUE(std::holds_alternative<std::monostate>(records.named(record.id)));
    LatestRecord replaced = records.named(result.replacement);
    ASSERT_TRUE(std::holds_alternative<ResetRecord>(replaced)) << result.replacement;
    EXPECT_EQ(std::get<ResetRecord>(replaced).settings,
              (std::vector<SettingsDump>{{kEditorFolder, since}}));
}

TEST_F(GSettingsKind, AnUnreachableDatabaseLeavesItsFoldersAndTheFilesStillGo) {
    ASSERT_TRUE(done(database.replace(kEditorFolder, kEditorKeys)));
    Unreachable unreachable;
    struct Case {
        const char* what;
        SettingsDatabase* planned;
        SettingsDatabase* resetThrough;
        bool skipped;     // named as not searched
        bool leftInPlace; // the folder stays, named with its reason
    };
    const Case cases[] = {
        {"no bus when planning", &unreachable, &unreachable, true, false},
        {"no database at all", nullptr, nullptr, true, false},
        {"gone between the plan and the reset", &database, &unreachable, false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        home.file(".config/org.gnome.TextEditor/settings.ini", "[window]\n");
        const TargetPlan listed = plan(kEditor, c.planned);
        // Every folder of the application is named, each once.
        std::vector<SkippedFolder> expected;
        for (const SettingsFolder& folder : search.folders) {
            expected.push_back({folder.path, SkippedFolder::Reason::Unreachable});
        }
        ASSERT_GE(expected.size(), 2u);
        EXPECT_EQ(listed.skipped, c.skipped ? expected : std::vector<SkippedFolder>{});
        const std::string report = composePlanReport(listed, {}, "Text Editor", home.path()).text;
        EXPECT_EQ(report.find(skippedFolderLine(expected[0])) != std::string::npos, c.skipped);
        const ResetOutcome outcome = reset(listed, c.resetThrough);
        EXPECT_FALSE(home.exists(".config/org.gnome.TextEditor"));
        EXPECT_EQ(outcome.leftovers == std::vector<std::string>{kEditorFolder.path}, c.leftInPlace);
        EXPECT_EQ(outcome.ending, c.leftInPlace ? ResetEnding::Partial : ResetEnding::Done);
        EXPECT_EQ(dumped(kEditorFolder), kEditorKeys);
        LatestRecord latest = ResetRecords(recordsFolder()).latest();
        ASSERT_TRUE(std::holds_alternative<ResetRecord>(latest));
        EXPECT_TRUE(std::get<ResetRecord>(latest).settings.empty());
    }
}

TEST_F(GSettingsKind, LockedKeysAreNamedAndKeepTheirValues) {
    ASSERT_TRUE(done(database.replace({"/corvane/locks/", {}}, {{"/corvane/locks/free", "1"}})));
    const TargetPlan listed = plan("corvane.locks", &database);
    const ResetOutcome outcome = reset(listed, &database);
    EXPECT_EQ(outcome.settingsReset, std::vector<std::string>{"/corvane/locks/"});
    EXPECT_EQ(outcome.lockedKeys, std::vector<std::string>{"/corvane/locks/locked"});
    EXPECT_NE(resetAccountText("Locks", outcome).find("/corvane/locks/locked"), std::string::npos);
    EXPECT_TRUE(dumped({"/corvane/locks/", {}}).empty());
}

// A Flatpak that rebuilds its settings from the host's folder of its id takes that folder with
// it; a migrate-path that names another application's folder is not followed.
TEST_F(GSettingsKind, AFlatpaksMigratePathIsResetWithIt) {
    const SettingsValues own = {{"/org/example/Notes/font", "'Sans 12'"}};
    const SettingsValues host = {{"/org/example/notes/font", "'Serif 10'"}};
    const SettingsValues other = {{"/org/example/other/font", "'Mono 9'"}};
    struct Case {
        const char* migratePath;
        std::vector<std::string> folders;
        bool noted;
    };
    const Case cases[] = {
        {"/org/example/notes/", {"/org/example/Notes/", "/org/example/notes/"}, true},
        {"/org/example/other/", {"/org/example/Notes/"}, false},
        {"/org/example/", {"/org/example/Notes/"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.migratePath);
        ASSERT_TRUE(done(database.replace({"/org/example/", {}}, {})));
        for (const SettingsValues* values : {&own, &host, &other}) {
            ASSERT_TRUE(done(database.replace(
                {values->begin()->first.substr(0, values->begin()->first.rfind('/') + 1), {}},
                *values)));
        }
        session.metadata["org.example.Notes"] =
            "[Application]\nname=org.example.Notes\n\n[X-DConf]\nmigrate-path=" +
            std::string(c.migratePath) + "\n";
        const TargetPlan listed = plan("org.example.Notes", &database);
        std::vector<std::string> folders;
        for (const PlannedSettings& planned : listed.settings) {
            folders.push_back(planned.folder.path);
        }
        EXPECT_EQ(folders, c.folders);
        EXPECT_EQ(listed.notes.size(), c.noted ? 1u : 0u);
        if (c.noted) {
            EXPECT_NE(
                composePlanReport(listed, {}, "Notes", home.path()).text.find(listed.notes[0]),
                std::string::npos);
        }
        const ResetOutcome outcome = reset(listed, &database);
        EXPECT_EQ(outcome.settingsReset, c.folders);
        EXPECT_EQ(dumped({"/org/example/notes/", {}}).empty(), c.noted);
        EXPECT_EQ(dumped({"/org/example/other/", {}}), other);
    }
}

} // namespace
} // namespace corvane::testing
