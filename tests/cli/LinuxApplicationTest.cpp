#include "app/Alerts.h"
#include "app/Dialogs.h"
#include "cli/ActionSupport.h"
#include "cli/CommandLineFixture.h"
#include "core/analysis/Kinds.h"
#include "core/analysis/SettingsKind.h"
#include "core/fix/ResetRecord.h"
#include "host/linux/XdgDesktopApplications.h"
#include "support/EnvironmentScope.h"
#include "support/FixDoubles.h"
#include "support/MemorySettingsDatabase.h"
#include "support/RecordingTrash.h"
#include "support/SessionDoubles.h"
#include "support/StandInApp.h"

#include <map>
#include <nlohmann/json.hpp>
#include <set>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kEditor = "org.gnome.TextEditor";

class LinuxApplication : public CommandLine {
protected:
    LinuxApplication()
        : environment({{"XDG_DATA_DIRS", home.path() + "/system/share"},
                       {"XDG_CONFIG_HOME", std::nullopt},
                       {"XDG_STATE_HOME", std::nullopt},
                       {"XDG_CACHE_HOME", std::nullopt}}) {
        // The host package, and the Flatpak of the same id exported for the user.
        home.file("system/share/applications/org.gnome.TextEditor.desktop",
                  "[Desktop Entry]\nType=Application\nName=Text Editor\n"
                  "Exec=gnome-text-editor %U\nIcon=org.gnome.TextEditor\n");
        home.file(".local/share/flatpak/exports/share/applications/org.gnome.TextEditor.desktop",
                  "[Desktop Entry]\nType=Application\nName=Text Editor\n"
                  "Exec=/usr/bin/flatpak run --branch=stable org.gnome.TextEditor\n"
                  "X-Flatpak=org.gnome.TextEditor\n");
        home.file("system/share/applications/vlc.desktop",
                  "[Desktop Entry]\nType=Application\nName=VLC media player\nExec=vlc\n");
        for (const auto& [file, content] : layout) {
            home.file(file, content);
        }
    }

    // Every file below the home but the Trash and the program's own records, with its bytes.
    std::map<std::string, std::string> files() const {
        std::map<std::string, std::string> found;
        for (const auto& item : fs::recursive_directory_iterator(home.path())) {
            const std::string relative = fs::relative(item.path(), home.path()).string();
            if (item.is_regular_file() && !relative.starts_with(".local/share/Trash") &&
                !relative.starts_with("Library") && relative != "stderr.txt") {
                found[relative] = contentOf(item.path().string());
            }
        }
        return found;
    }

    const std::map<std::string, std::string> layout = {
        {".var/app/org.gnome.TextEditor/config/glib-2.0/settings/keyfile",
         "[org/gnome/TextEditor]\nstyle-scheme='builder-dark'\n"},
        {".var/app/org.gnome.TextEditor/.local/state/org.gnome.TextEditor/session.gvariant",
         std::string("\x01\x00session\xff", 10)},
        {".var/app/org.gnome.TextEditor/cache/thumbnails/a.png", "png"},
        {".var/app/org.gnome.TextEditor/data/org.gnome.TextEditor/drafts/1", "flatpak draft"},
        {".config/org.gnome.TextEditor/settings.ini", "[window]\nwidth=800\n"},
        {".local/share/org.gnome.TextEditor/drafts/2", "host draft"},
    };
    EnvironmentScope environment;
};

// A Flatpak and a host package of the same id are two targets, each with its own folders.
TEST_F(LinuxApplication, ListsResetsAndRestoresItsFoldersButNeverItsDocuments) {
    const std::map<std::string, std::string> before = files();
    struct Case {
        std::string argument;
        std::set<std::string> kinds;
        std::vector<std::string> gone;
        std::string stays;
    };
    const Case cases[] = {
        {kEditor + std::string(cli::kFlatpakSuffix),
         {"flatpak_config", "flatpak_state", "flatpak_cache"},
         {".var/app/org.gnome.TextEditor/config", ".var/app/org.gnome.TextEditor/.local/state",
          ".var/app/org.gnome.TextEditor/cache"},
         ".config/org.gnome.TextEditor/settings.ini"},
        {kEditor + std::string(cli::kHostSuffix),
         {"xdg_config"},
         {".config/org.gnome.TextEditor"},
         ".var/app/org.gnome.TextEditor/config/glib-2.0/settings/keyfile"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.argument);
        const Outcome listed = corvane({"--list", "--json", c.argument});
        ASSERT_EQ(listed.status, 0) << listed.err;
        const nlohmann::json document = nlohmann::json::parse(listed.out);
        EXPECT_EQ(document["identifier"], kEditor);
        std::set<std::string> kinds;
        for (const nlohmann::json& entry : document["entries"]) {
            const std::string path = entry["path"];
            kinds.insert(entry["kind"].get<std::string>());
            EXPECT_EQ(path.find("/data"), std::string::npos) << path;
            EXPECT_EQ(path.find("/.local/share"), std::string::npos) << path;
        }
        EXPECT_EQ(kinds, c.kinds);
        const Outcome lines = corvane({"--list", c.argument});
        EXPECT_EQ(lines.out.find("drafts"), std::string::npos) << lines.out;
        EXPECT_NE(lines.out.find(home.path() + "/" + c.gone.front() + "\n"), std::string::npos)
            << lines.out;

        const Outcome reset = corvane({"--reset", "--yes", c.argument});
        ASSERT_EQ(reset.status, 0) << reset.out << reset.err;
        for (const std::string& gone : c.gone) {
            EXPECT_FALSE(home.exists(gone)) << gone;
        }
        EXPECT_TRUE(home.exists(c.stays));
        EXPECT_EQ(contentOf(home.path() + "/.local/share/org.gnome.TextEditor/drafts/2"),
                  "host draft");
        EXPECT_EQ(contentOf(home.path() +
                            "/.var/app/org.gnome.TextEditor/data/org.gnome.TextEditor/drafts/1"),
                  "flatpak draft");
        EXPECT_EQ(corvane({"--list", c.argument}).status, 1);

        const Outcome restored = corvane({"--restore", "--yes", kEditor});
        ASSERT_EQ(restored.status, 0) << restored.out << restored.err;
        EXPECT_EQ(files(), before);
    }
    EXPECT_TRUE(fs::exists(home.path() + "/.local/share/Trash/files"));
}

// Without a session bus the settings database's folders are named as not searched, with the
// reason, and the files are reset as ever; asked for only those folders, nothing is found.
TEST_F(LinuxApplication, WithoutTheSettingsDatabaseItsFoldersAreNamedAndTheFilesStillGo) {
    const std::string host = kEditor + std::string(cli::kHostSuffix);
    const Outcome only = corvane({"--list", "--json", "--only=gsettings", host});
    EXPECT_EQ(only.status, 1) << only.out << only.err;
    const nlohmann::json listing = nlohmann::json::parse(only.out);
    EXPECT_EQ(listing["kinds"], nlohmann::json({"gsettings"}));
    EXPECT_TRUE(listing["entries"].empty());
    EXPECT_TRUE(std::any_of(listing["skipped"].begin(), listing["skipped"].end(),
                            [](const nlohmann::json& folder) {
                                return folder["folder"] == "/org/gnome/TextEditor/" &&
                                       folder["reason"] == "could not be reached";
                            }))
        << only.out;
    EXPECT_EQ(corvane({"--reset", "--yes", "--only=gsettings", host}).status, 1);

    const Outcome reset = corvane({"--reset", "--yes", "--json", host});
    ASSERT_EQ(reset.status, 0) << reset.out << reset.err;
    const nlohmann::json document = nlohmann::json::parse(reset.out);
    EXPECT_EQ(document["outcome"], "done");
    EXPECT_TRUE(document["settings"].empty());
    EXPECT_FALSE(home.exists(".config/org.gnome.TextEditor"));
    EXPECT_EQ(contentOf(home.path() + "/.local/share/org.gnome.TextEditor/drafts/2"), "host draft");
}

// The window lists the settings database's folder beside the files, Fix resets it without
// taking it for a file, and Restore writes its keys back.
TEST_F(LinuxApplication, TheWindowResetsAndRestoresItsSettingsFolder) {
    XdgDesktopApplications desktop;
    services.desktopApplications = &desktop;
    RecordingTrash trash(home.path() + "/.test-trash");
    services.trash = &trash;
    MemorySettingsDatabase settings;
    settings.keys = {{"/org/gnome/TextEditor/style-scheme", "'classic-dark'"},
                     {"/org/gnome/TextEditor/window/size", "(800, 600)"},
                     {"/org/gnome/TextEditorial/kept", "true"}};
    const SettingsValues before = settings.keys;
    services.settingsDatabase = &settings;
    delegate().chooseAppAtPath(home.path() +
                               "/system/share/applications/org.gnome.TextEditor.desktop");
    EXPECT_NE(window.infoView.string().find(settingsFolderShown("/org/gnome/TextEditor/", 2)),
              std::string::npos)
        << window.infoView.string();

    delegate().fixButtonMethod();
    EXPECT_EQ(delegate().lastEnding(), ResetEnding::Done) << "the folder is no file to move";
    EXPECT_EQ(settings.keys, (SettingsValues{{"/org/gnome/TextEditorial/kept", "true"}}));
    EXPECT_EQ(trash.moved.size(), 1u) << "the host package's one folder";
    const std::vector<KeptRecord> kept = ResetRecords(ResetRecords::folderIn(home.library())).all();
    ASSERT_EQ(kept.size(), 1u);
    EXPECT_EQ(std::get<ResetRecord>(kept[0]).settings.size(), 1u);

    alerts.answers = {kAlertFirstButtonReturn, kAlertFirstButtonReturn};
    delegate().restoreButtonMethod();
    EXPECT_EQ(delegate().lastEnding(), ResetEnding::Done);
    EXPECT_EQ(settings.keys, before);
}

TEST_F(LinuxApplication, TargetsAreInstalledIdsAndBundlesComeFirst) {
    struct Case {
        const char* what;
        std::vector<std::string> arguments;
        int status;
        std::string said; // in the diagnostics
    };
    const std::vector<Case> cases = {
        {"an id without a dot is a target with nothing of its own",
         {"--list", "vlc"},
         1,
         "an application id without a dot names no folder of its own"},
        {"and its folder is named, not searched",
         {"--list", "vlc"},
         1,
         "\".config/vlc\" is named by an id without a dot"},
        {"a one-word name that is not installed", {"--list", "gedit"}, 2, "neither PATH.app"},
        {"an id that is not installed is not reset",
         {"--reset", "--yes", "org.example.Gone"},
         2,
         "found no installed application"},
        {"the prefix of an installed id is not that id",
         {"--reset", "--yes", "org.gnome"},
         2,
         "found no installed application"},
        // Both packages installed: the id alone names neither, and the refusal says how.
        {"an id of a Flatpak and a host package",
         {"--list", kEditor},
         2,
         kEditor + std::string(cli::kFlatpakSuffix)},
        {"and the same for a reset",
         {"--reset", "--yes", kEditor},
         2,
         kEditor + std::string(cli::kHostSuffix)},
        {"a package that is not installed",
         {"--list", "vlc" + std::string(cli::kFlatpakSuffix)},
         2,
         "found no Flatpak"},
    };
    home.file(".config/vlc/vlcrc", "[qt]\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const Outcome run = corvane(c.arguments);
        EXPECT_EQ(run.status, c.status) << run.out << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
    }
    EXPECT_EQ(files().size(), layout.size() + 4);

    // An installed bundle of the same identifier stays the target, with its Library's kinds.
    home.file("Library/Preferences/org.gnome.TextEditor.plist", "bundle");
    app("TextEditor.app", kEditor);
    const Outcome listed = corvane({"--list", "--json", kEditor});
    ASSERT_EQ(listed.status, 0) << listed.err;
    const nlohmann::json entries = nlohmann::json::parse(listed.out)["entries"];
    ASSERT_EQ(entries.size(), 1u) << listed.out;
    for (const nlohmann::json& entry : entries) {
        EXPECT_EQ(kindRow(*kindWithId(entry["kind"].get<std::string>())).family,
                  TargetFamily::Bundle);
    }
}

// Dropping or opening a desktop file in the window picks its application: the report lists what
// --list lists. A desktop file that names no application is refused with its reason.
TEST_F(LinuxApplication, ItsDesktopFilePicksItInTheWindow) {
    XdgDesktopApplications desktop;
    services.desktopApplications = &desktop;
    RecordingTrash trash(home.path() + "/.test-trash");
    services.trash = &trash;
    const std::string exported =
        home.path() +
        "/.local/share/flatpak/exports/share/applications/org.gnome.TextEditor.desktop";
    delegate().chooseAppAtPath(exported);
    EXPECT_TRUE(window.fixButton.enabled);
    std::vector<std::string> shown = delegate().fullFilePaths();
    shown.insert(shown.end(), delegate().fullStatePaths().begin(),
                 delegate().fullStatePaths().end());
    std::vector<std::string> listed;
    // The Flatpak's desktop file picks the Flatpak: the same target as ID:flatpak.
    const Outcome listing =
        corvane({"--list", "--json", kEditor + std::string(cli::kFlatpakSuffix)});
    ASSERT_EQ(listing.status, 0) << listing.err;
    const nlohmann::json document = nlohmann::json::parse(listing.out);
    EXPECT_EQ(window.nameField.value, document["application"]);
    for (const nlohmann::json& entry : document["entries"]) {
        listed.push_back(entry["path"]);
    }
    ASSERT_FALSE(listed.empty()) << listing.out;
    EXPECT_EQ(document["kinds"],
              nlohmann::json({"flatpak_config", "flatpak_state", "flatpak_cache", "gsettings"}));
    std::sort(shown.begin(), shown.end());
    std::sort(listed.begin(), listed.end());
    EXPECT_EQ(shown, listed);
    EXPECT_EQ(window.infoView.string().find("drafts"), std::string::npos);

    // Fix takes what the report lists, and nothing of the documents.
    delegate().fixButtonMethod();
    for (const char* gone :
         {".var/app/org.gnome.TextEditor/config", ".var/app/org.gnome.TextEditor/.local/state",
          ".var/app/org.gnome.TextEditor/cache"}) {
        EXPECT_FALSE(home.exists(gone)) << gone;
    }
    EXPECT_TRUE(home.exists(".config/org.gnome.TextEditor/settings.ini"));
    EXPECT_TRUE(home.exists(".var/app/org.gnome.TextEditor/data/org.gnome.TextEditor/drafts/1"));
    EXPECT_TRUE(home.exists(".local/share/org.gnome.TextEditor/drafts/2"));
    EXPECT_EQ(trash.moved.size(), 3u);

    struct Case {
        const char* what;
        const char* file;
        const char* text;
        const char* said;
    };
    const Case cases[] = {
        {"a name that is no application id", "Text Editor.desktop",
         "[Desktop Entry]\nType=Application\nName=Text Editor\nExec=te\n", "is no application id"},
        {"a link, not an application", "org.example.Site.desktop",
         "[Desktop Entry]\nType=Link\nName=Site\nURL=https://example.org\n", "Error: "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        home.file(std::string("picked/") + c.file, c.text);
        delegate().chooseAppAtPath(home.path() + "/picked/" + c.file);
        EXPECT_NE(window.nameField.value.find(c.said), std::string::npos) << window.nameField.value;
        EXPECT_FALSE(window.fixButton.enabled);
    }
}

// The list of installed applications offers each id once per package, and the one chosen is
// analysed as its desktop file would be.
TEST_F(LinuxApplication, TheListOfInstalledApplicationsPicksOne) {
    struct PickFlatpak : ApplicationChooser {
        std::optional<std::size_t>
        chooseApplication(const std::vector<InstalledChoice>& choices) override {
            offered = choices;
            for (std::size_t i = 0; i < choices.size(); ++i) {
                if (choices[i].name == "Text Editor (Flatpak)") {
                    return i;
                }
            }
            return std::nullopt;
        }
        std::vector<InstalledChoice> offered;
    } chooser;
    XdgDesktopApplications desktop;
    services.desktopApplications = &desktop;
    services.applicationChooser = &chooser;
    delegate().chooseInstalledApp();
    std::vector<std::string> offered;
    for (const InstalledChoice& choice : chooser.offered) {
        offered.push_back(choice.name + " " + choice.id);
    }
    EXPECT_EQ(offered, (std::vector<std::string>{"Text Editor org.gnome.TextEditor",
                                                 "Text Editor (Flatpak) org.gnome.TextEditor",
                                                 "VLC media player vlc"}));
    // The Flatpak is a target of its own, named as the list names it, with its own folders.
    EXPECT_EQ(window.nameField.value, chooser.offered[1].name);
    EXPECT_TRUE(window.fixButton.enabled);
    EXPECT_FALSE(delegate().fullFilePaths().empty());
    for (const std::string& path : delegate().fullFilePaths()) {
        EXPECT_TRUE(path.starts_with(home.path() + "/.var/app/")) << path;
    }
}

// The window's Fix asks a running application to quit first: over the session bus when its name
// has an owner, else with SIGTERM. One that stays keeps every file, and the user is told.
TEST_F(LinuxApplication, TheWindowsFixQuitsARunningApplicationFirst) {
    XdgDesktopApplications desktop;
    services.desktopApplications = &desktop;
    RecordingTrash trash(home.path() + "/.test-trash");
    services.trash = &trash;
    FakeSessionProcesses session;
    FakeApplicationBus bus;
    FakeClock clock;
    services.sessionProcesses = &session;
    services.applicationBus = &bus;
    services.clock = &clock;
    const std::string desktopFile =
        home.path() + "/system/share/applications/org.gnome.TextEditor.desktop";
    session.processes = {{4242,
                          "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                          "app-gnome-org.gnome.TextEditor-4242.scope\n",
                          "/usr/bin/gnome-text-editor"}};

    session.stubborn = {4242};
    delegate().chooseAppAtPath(desktopFile);
    ASSERT_TRUE(window.fixButton.enabled);
    const std::map<std::string, std::string> before = files();
    delegate().fixButtonMethod();
    EXPECT_EQ(files(), before);
    EXPECT_TRUE(bus.activated.empty());
    EXPECT_EQ(session.terminated, std::vector<pid_t>{4242});
    ASSERT_EQ(alerts.shown.size(), 1u);
    EXPECT_EQ(alerts.shown[0].informativeText,
              didNotQuitAlert("Text Editor", "removed", "Fix").informativeText);

    session.terminated.clear();
    session.stubborn.clear();
    bus.owners = {kEditor};
    bus.onQuit = [&session] { session.processes.clear(); };
    delegate().chooseAppAtPath(desktopFile);
    delegate().fixButtonMethod();
    EXPECT_EQ(bus.activated,
              std::vector<std::string>{"org.gnome.TextEditor /org/gnome/TextEditor quit"});
    EXPECT_TRUE(session.terminated.empty());
    EXPECT_FALSE(home.exists(".config/org.gnome.TextEditor"));
    EXPECT_EQ(alerts.shown.size(), 1u);

    // Restore asks it to quit before anything comes back, and a stay keeps it all in the Trash.
    session.processes = {{4243,
                          "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                          "app-gnome-org.gnome.TextEditor-4243.scope\n",
                          "/usr/bin/gnome-text-editor"}};
    bus.onQuit = nullptr;
    delegate().restoreButtonMethod();
    EXPECT_EQ(bus.activated.size(), 2u);
    EXPECT_FALSE(home.exists(".config/org.gnome.TextEditor"));
    ASSERT_EQ(alerts.shown.size(), 3u); // the restore's question, then the application stayed
    EXPECT_EQ(alerts.shown[2].informativeText,
              didNotQuitAlert("Text Editor", "put back", "Restore").informativeText);
}

// The command line finds a running application by the program its desktop file starts and asks
// it to quit before the reset; one that does not quit keeps every file, and the run is declined.
TEST_F(LinuxApplication, TheCommandLineQuitsARunningApplicationFirst) {
    const std::string id = "org.corvane.test.Editor";
    const StandInBundle program(home.path() + "/programs", "editor", id);
    home.file("system/share/applications/org.corvane.test.Editor.desktop",
              "[Desktop Entry]\nType=Application\nName=Test Editor\nExec=" + program.executable() +
                  " %U\n");
    for (const bool stubborn : {true, false}) {
        SCOPED_TRACE(stubborn ? "ignores SIGTERM" : "quits");
        home.file(".config/org.corvane.test.Editor/settings.ini", "[window]\nwidth=800\n");
        StandInProcess running(program.executable(), stubborn);
        const Outcome reset = corvane({"--reset", id, "--yes"});
        EXPECT_NE(reset.err.find("quitting Test Editor (process " + std::to_string(running.pid())),
                  std::string::npos)
            << reset.err;
        if (stubborn) {
            EXPECT_EQ(reset.status, 4) << reset.err;
            EXPECT_NE(reset.err.find("did not quit"), std::string::npos) << reset.err;
            EXPECT_TRUE(home.exists(".config/org.corvane.test.Editor/settings.ini"));
            EXPECT_FALSE(running.hasEnded());
        } else {
            EXPECT_EQ(reset.status, 0) << reset.err;
            EXPECT_FALSE(home.exists(".config/org.corvane.test.Editor"));
            EXPECT_TRUE(running.waitForEnd(std::chrono::seconds(5)));
        }
    }
    // Putting the reset back quits it first too: the record names its desktop file.
    StandInProcess running(program.executable());
    const Outcome restore = corvane({"--restore", "--yes", id});
    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_NE(restore.err.find("quitting Test Editor (process " + std::to_string(running.pid())),
              std::string::npos)
        << restore.err;
    EXPECT_TRUE(running.waitForEnd(std::chrono::seconds(5)));
    EXPECT_TRUE(home.exists(".config/org.corvane.test.Editor/settings.ini"));
}

} // namespace
} // namespace corvane::testing
