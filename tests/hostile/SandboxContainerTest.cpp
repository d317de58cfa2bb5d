#include "hostile/HostileFixture.h"

#include <filesystem>
#include <fstream>
#include <sstream>

namespace corvane::testing {
namespace {

// --- Sandboxed applications keep their settings in their container --------------------------

using SandboxContainer = HostileFixture;

constexpr const char* kId = "org.sample.Boxed";
const std::string kData = std::string("Containers/") + kId + "/Data";

TEST_F(SandboxContainer, TheContainersSettingsAndStateGoAndNothingElseOfIt) {
    const std::string data = "Library/" + kData;
    home.file(data + "/Library/Preferences/org.sample.Boxed.plist");
    home.file(data + "/Library/Preferences/group.shared.plist");
    home.file(data + "/Library/Saved Application State/org.sample.Boxed.savedState/w.plist");
    const std::vector<std::string> kept = {
        data + "/Documents/Letter.txt", data + "/Library/Application Support/Boxed/db.sqlite",
        data + "/Library/Caches/org.sample.Boxed/c", "Library/Containers/org.sample.Boxed/.meta"};
    for (const std::string& path : kept) {
        home.file(path, "mine: " + path);
    }

    choose(bundleWithIdentifier("Boxed.app", kId));

    const std::string prefs = kData + "/Library/Preferences/";
    const std::string state = kData + "/Library/Saved Application State/";
    EXPECT_EQ(delegate().shortFilePaths(),
              (std::vector<std::string>{prefs + "group.shared.plist",
                                        prefs + "org.sample.Boxed.plist", "\n"}));
    EXPECT_EQ(delegate().shortStatePaths(),
              (std::vector<std::string>{state + "org.sample.Boxed.savedState",
                                        state + "org.sample.Boxed.savedState/w.plist"}));
    EXPECT_EQ(delegate().fullFilePaths()[0], home.library() + "/" + prefs + "group.shared.plist");
    EXPECT_NE(text().find(prefs + "org.sample.Boxed.plist\n"), std::string::npos) << text();

    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_FALSE(home.exists(prefs.substr(0, prefs.size() - 1) + "/org.sample.Boxed.plist"));
    for (const std::string& path : kept) {
        EXPECT_EQ(contentOf(home.path() + "/" + path), "mine: " + path) << path;
    }
    EXPECT_TRUE(home.exists("Library/" + kData + "/Library/Preferences"));
}

TEST_F(SandboxContainer, OrdinaryEntriesComeFirstThenTheContainers) {
    home.file("Library/Preferences/org.sample.Boxed.plist");
    home.file("Library/Saved Application State/org.sample.Boxed.savedState/w.plist");
    home.file("Library/" + kData + "/Library/Preferences/org.sample.Boxed.plist");
    home.file("Library/" + kData + "/Library/Saved Application State/x.savedState/w.plist");

    choose(bundleWithIdentifier("Boxed.app", kId));

    const std::string boxed = kData + "/Library/";
    EXPECT_EQ(delegate().shortFilePaths(),
              (std::vector<std::string>{"org.sample.Boxed.plist",
                                        boxed + "Preferences/org.sample.Boxed.plist", "\n"}));
    EXPECT_EQ(delegate().shortStatePaths(),
              (std::vector<std::string>{"org.sample.Boxed.savedState",
                                        "org.sample.Boxed.savedState/w.plist",
                                        boxed + "Saved Application State/x.savedState",
                                        boxed + "Saved Application State/x.savedState/w.plist"}));
}

TEST_F(SandboxContainer, ALinkOnTheWayIntoTheContainerIsNotFollowed) {
    // Each folder on the way in turn is a link to a copy of what it would hold, outside.
    const std::vector<std::string> steps = {"Containers", std::string("Containers/") + kId, kData,
                                            kData + "/Library", kData + "/Library/Preferences"};
    for (const std::string& step : steps) {
        SCOPED_TRACE(step);
        std::filesystem::remove_all(home.library());
        std::filesystem::remove_all(outside.path() + "/copy");
        const std::string real = home.library() + "/" + kData + "/Library/Preferences/a.plist";
        writeFile(real);
        // Move what lies at `step` outside and leave a link in its place.
        const std::string at = home.library() + "/" + step;
        std::filesystem::rename(at, outside.path() + "/copy");
        makeLink(outside.path() + "/copy", at);

        choose(bundleWithIdentifier("Boxed.app", kId));

        EXPECT_EQ(text(), skippedFolderLine({step, SkippedFolder::Reason::Link}));
        EXPECT_FALSE(window.fixButton.enabled);
        EXPECT_TRUE(listed().empty());
    }
}

} // namespace
} // namespace corvane::testing
