#include "hostile/HostileFixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace corvane::testing {
namespace {

// --- Other applications whose names look like the target's -------------------------------------
//
// A vendor's sibling products (a beta, a nightly build, a helper) carry the target's identifier
// with something added. Their settings are theirs: never listed, never removed.

using HostileLookalikes = HostileFixture;

// Writes each sibling with content of its own and checks afterwards that every byte is still
// there.
class Siblings {
public:
    Siblings(const TempHome& home, std::vector<std::string> relativePaths)
        : m_home(home), m_paths(std::move(relativePaths)) {
        for (const std::string& path : m_paths) {
            home.file(path, "settings of " + path);
        }
    }
    void expectUntouched() const {
        for (const std::string& path : m_paths) {
            EXPECT_EQ(contentOf(m_home.path() + "/" + path), "settings of " + path) << path;
        }
    }

private:
    const TempHome& m_home;
    std::vector<std::string> m_paths;
};

TEST_F(HostileLookalikes, AChromeLikeFamilyKeepsEverySiblingsSettings) {
    const std::string prefs = "Library/Preferences/";
    const std::string state = "Library/Saved Application State/";
    for (const std::string& own :
         {prefs + "com.google.Chrome.plist", prefs + "com.google.Chrome.plist.lockfile",
          prefs + "ByHost/com.google.Chrome.0F1E2D3C-4B5A.plist",
          prefs + "com.google.Chrome/Local State",
          state + "com.google.Chrome.savedState/w.plist"}) {
        home.file(own);
    }
    const Siblings siblings(
        home, {prefs + "com.google.Chrome.canary.plist", prefs + "com.google.Chrome.beta.plist",
               prefs + "com.google.ChromeHelper.plist", prefs + "backup-com.google.Chrome.plist",
               prefs + "ByHost/com.google.Chrome.canary.0F1E2D3C.plist",
               state + "com.google.Chrome.canary.savedState/w.plist",
               state + "com.google.Chrome.beta.savedState/w.plist"});

    choose(bundleWithIdentifier("Google Chrome.app", "com.google.Chrome"));

    EXPECT_EQ(delegate().shortFilePaths(),
              (std::vector<std::string>{"ByHost/com.google.Chrome.0F1E2D3C-4B5A.plist",
                                        "com.google.Chrome", "com.google.Chrome/Local State",
                                        "com.google.Chrome.plist",
                                        "com.google.Chrome.plist.lockfile", "\n"}));
    EXPECT_EQ(delegate().shortStatePaths(),
              (std::vector<std::string>{"com.google.Chrome.savedState",
                                        "com.google.Chrome.savedState/w.plist"}));
    EXPECT_EQ(text().find("canary"), std::string::npos) << text();
    EXPECT_TRUE(fixAndCheck().empty());
    for (const std::string& listedPath : listedAtFix) {
        EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(listedPath)))
            << listedPath;
    }
    siblings.expectUntouched();
}

TEST_F(HostileLookalikes, SafariTechnologyPreviewIsAnOrdinaryTargetAndSafariKeepsItsData) {
    home.file("Library/Preferences/com.apple.SafariTechnologyPreview.plist");
    home.folder("Library/Application Support/osxDownloader");
    const Siblings safari(
        home, {"Library/Preferences/com.apple.Safari.plist", "Library/Safari/Bookmarks.plist",
               "Library/Safari/LastSession.plist", "Library/Caches/com.apple.Safari/db",
               "Library/Cookies/Cookies.binarycookies"});

    choose(
        bundleWithIdentifier("Safari Technology Preview.app", "com.apple.SafariTechnologyPreview"));

    EXPECT_TRUE(alerts.shown.empty()) << "the Safari question was asked";
    EXPECT_FALSE(delegate().isSafari());
    EXPECT_EQ(listed(),
              (std::vector<std::string>{home.library() +
                                        "/Preferences/com.apple.SafariTechnologyPreview.plist"}));
    EXPECT_EQ(text().rfind("Corvane can safely remove", 0), 0u) << text();
    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_TRUE(home.exists("Library/Application Support/osxDownloader"));
    safari.expectUntouched();
}

// --- Search folders that lead out of the Library ------------------------------------------------

TEST_F(HostileLookalikes, APreferencesFolderLeadingOutIsNamedAndNotSearched) {
    struct Case {
        const char* label;
        std::function<std::string()> target; // where Preferences leads
        SkippedFolder::Reason reason;
    };
    const Case cases[] = {
        {"documents", [&] { return home.path() + "/Documents"; },
         SkippedFolder::Reason::LeadsOutside},
        {"root", [] { return std::string("/"); }, SkippedFolder::Reason::LeadsOutside},
        {"home", [&] { return home.path(); }, SkippedFolder::Reason::LeadsOutside},
        {"library", [&] { return home.library(); }, SkippedFolder::Reason::LeadsOutside},
        // Not a folder at all: it cannot be read as one.
        {"file", [&] { return home.library() + "/prefs.txt"; }, SkippedFolder::Reason::Unreadable},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.label);
        std::filesystem::remove_all(home.library());
        home.file("Documents/com.example.App.plist", "mine");
        home.file("Library/prefs.txt");
        makeLink(c.target(), home.library() + "/Preferences");
        window.fixButton.enabled = true;

        choose(bundleWithIdentifier("Example.app", "com.example.App"));

        const std::string line = skippedFolderLine({"Preferences", c.reason});
        EXPECT_EQ(text(), line);
        EXPECT_FALSE(window.fixButton.enabled);
        EXPECT_TRUE(listed().empty());

        // Saved state found elsewhere is still offered, with the reason under the report.
        home.file("Library/Saved Application State/com.example.App.savedState/w.plist");
        choose(bundleWithIdentifier("Example.app", "com.example.App"));
        EXPECT_TRUE(window.fixButton.enabled);
        EXPECT_EQ(text().substr(text().size() - line.size() - 1), line + "\n");
        EXPECT_TRUE(fixAndCheck().empty());
        EXPECT_EQ(contentOf(home.path() + "/Documents/com.example.App.plist"), "mine");
        std::filesystem::remove_all(home.library() + "/Saved Application State");
    }
}

} // namespace
} // namespace corvane::testing
