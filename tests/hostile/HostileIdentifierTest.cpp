#include "hostile/HostileFixture.h"

namespace corvane::testing {
namespace {

// The name field's refusal of an item that is no application, which names the item.
bool isRejection(const std::string& name) {
    const std::string tail = " doesn't appear to be an application";
    return name.rfind("Error: ", 0) == 0 && name.size() > 7 + tail.size() &&
           name.compare(name.size() - tail.size(), tail.size(), tail) == 0;
}
constexpr const char* kRejectedInfo = "Please click the (X) button to choose again";

// An Info.plist whose dictionary holds `entries` as written (raw XML of keys and values).
std::string rawInfoPlist(const std::string& entries) {
    return "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
           "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
           "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
           "<plist version=\"1.0\">\n<dict>\n" +
           entries + "</dict>\n</plist>\n";
}

struct HostileInfo {
    const char* label;
    std::string infoPlist;
};

void PrintTo(const HostileInfo& info, std::ostream* out) {
    *out << info.label;
}

// --- Identifiers that must never reach a walk or a tool ----------------------------------------
//
// Each would, handed to "defaults delete", clear the global domain or be read as an option, or
// as a walk's needle match every entry of the Preferences folder or walk out of it.

std::vector<HostileInfo> hostileInfos() {
    std::vector<HostileInfo> infos;
    const std::vector<std::pair<const char*, std::string>> identifiers = {
        {"DashG", "-g"},
        {"DashGlobalDomain", "-globalDomain"},
        {"NSGlobalDomain", "NSGlobalDomain"},
        {"NSGlobalDomainOtherCase", "nsglobaldomain"},
        {"AppleGlobalDomain", "Apple Global Domain"},
        {"Empty", ""},
        {"Space", " "},
        {"Dot", "."},
        {"EmptyComponent", "com..x"},
        {"ParentInPath", "x/../y"},
        {"TrailingNewline", "com.example.App\n"},
        {"SixtyFourKiB", "com." + std::string(64 * 1024, 'a')},
        // One word owns nothing of its own: "com" would claim a folder named "com".
        {"SingleWord", "Widget"},
        {"LeadingDot", ".Widget"},
        {"TrailingDot", "Widget."},
        {"GlobalPreferences", "GlobalPreferences"},
        {"DotGlobalPreferences", ".GlobalPreferences"},
        {"AppleGlobalPreferences", "com.apple.GlobalPreferences"},
        {"AppleGlobalPreferencesOtherCase", "COM.APPLE.globalpreferences"},
    };
    for (const auto& [label, identifier] : identifiers) {
        infos.push_back({label, xmlInfoPlist({{"CFBundleIdentifier", identifier}})});
    }
    infos.push_back({"BinaryDashG", binaryInfoPlist({{"CFBundleIdentifier", "-g"}})});
    infos.push_back(
        {"IntegerValue", rawInfoPlist("<key>CFBundleIdentifier</key><integer>1</integer>\n")});
    infos.push_back(
        {"ArrayValue", rawInfoPlist("<key>CFBundleIdentifier</key>"
                                    "<array><string>com.example.App</string></array>\n")});
    infos.push_back({"DictValue", rawInfoPlist("<key>CFBundleIdentifier</key><dict><key>a</key>"
                                               "<string>com.example.App</string></dict>\n")});
    infos.push_back(
        {"MissingKey", rawInfoPlist("<key>CFBundleName</key><string>Example</string>\n")});
    return infos;
}

class HostileIdentifier : public HostileFixture, public ::testing::WithParamInterface<HostileInfo> {
protected:
    // Files a hostile identifier would match, and one a sound target would.
    void fillPreferences() {
        for (const char* name : {".GlobalPreferences.plist", "com..x.plist",
                                 "com.example.App.plist", "-g.plist", " .plist", "y.plist"}) {
            home.file(std::string("Library/Preferences/") + name);
        }
        home.file("Library/Saved Application State/com.example.App.savedState/windows.plist");
        writeFile(outside.path() + "/com.example.App.plist");
    }

    void expectRejectedAndUntouched() {
        EXPECT_TRUE(isRejection(window.nameField.value));
        EXPECT_EQ(text(), kRejectedInfo);
        EXPECT_FALSE(window.fixButton.enabled);
        EXPECT_FALSE(processWide().targetBundleIdentifier);
        EXPECT_TRUE(delegate().fullFilePaths().empty());
        EXPECT_TRUE(delegate().fullStatePaths().empty());
        EXPECT_TRUE(launcher.runs.empty());
        // The button is disabled; even a Fix that got through starts nothing and removes nothing.
        EXPECT_TRUE(fixAndCheck().empty());
        EXPECT_TRUE(launcher.runs.empty());
        EXPECT_TRUE(running.terminated.empty());
        EXPECT_EQ(running.queries, 0);
    }
};

TEST_P(HostileIdentifier, InThePickedBundleIsRejectedAndStartsNoProcess) {
    fillPreferences();
    choose(bundle("Hostile.app", GetParam().infoPlist));
    expectRejectedAndUntouched();
}

TEST_P(HostileIdentifier, FoundByNameForAPlainItemIsRejectedToo) {
    fillPreferences();
    // A plain file named like an application: its identifier comes from the lookup by name.
    home.file("Downloads/Hostile.app");
    workspace.applications["Hostile.app"] = bundle("Hostile.app", GetParam().infoPlist);
    choose(home.path() + "/Downloads/Hostile.app");
    expectRejectedAndUntouched();
}

TEST_P(HostileIdentifier, AfterASoundTargetLeavesNothingOfItToFix) {
    fillPreferences();
    choose(bundleWithIdentifier("Sound.app", "com.example.App"));
    ASSERT_TRUE(window.fixButton.enabled);
    choose(bundle("Hostile.app", GetParam().infoPlist));
    EXPECT_TRUE(isRejection(window.nameField.value));
    EXPECT_FALSE(window.fixButton.enabled);
    EXPECT_FALSE(processWide().targetBundleIdentifier);
    EXPECT_TRUE(launcher.runs.empty());
}

INSTANTIATE_TEST_SUITE_P(Hostile, HostileIdentifier, ::testing::ValuesIn(hostileInfos()),
                         [](const auto& row) { return std::string(row.param.label); });

} // namespace
} // namespace corvane::testing
