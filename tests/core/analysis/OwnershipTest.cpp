#include "core/analysis/Ownership.h"

#include "core/fix/SystemTarget.h"

#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

struct NameCase {
    const char* relativePath;
    bool owned;
};

// Target com.google.Chrome, letters compared as written (Preferences, saved state).
const NameCase kPreferenceCases[] = {
    // The target's own names.
    {"com.google.Chrome", true},
    {"com.google.Chrome.plist", true},
    {"com.google.Chrome.plist.lockfile", true},
    {"com.google.Chrome.plist.sb-3f1a2c4d-Xy9Zq1", true},
    {"com.google.Chrome.savedState", true},
    {"com.google.Chrome.binarycookies", true},
    {"ByHost/com.google.Chrome.0F1E2D3C.plist", true},
    {"ByHost/com.google.Chrome.564D7F0B-1C2D-4E3F-A1B2-C3D4E5F6A7B8.plist", true},
    // Beneath a folder of the target's, whatever the names.
    {"com.google.Chrome/Default/Preferences", true},
    {"com.google.Chrome.savedState/windows.plist", true},
    // Sibling products of the same vendor.
    {"com.google.Chrome.canary.plist", false},
    {"com.google.Chrome.beta.savedState", false},
    {"com.google.Chrome.canary/settings.plist", false},
    // A longer identifier that starts with the target's.
    {"com.google.ChromeHelper.plist", false},
    {"com.google.Chrome2", false},
    // Something before the identifier.
    {"backup-com.google.Chrome.plist", false},
    {"group.com.google.Chrome.plist", false},
    // Host identifiers that are not one: too short, not hex, empty.
    {"ByHost/com.google.Chrome.0F1E.plist", false},
    {"ByHost/com.google.Chrome.0F1E2D3G.plist", false},
    {"ByHost/com.google.Chrome..plist", false},
    // The per-host form outside ByHost is a sibling whose last part happens to be hex.
    {"com.google.Chrome.DEADBEEFCAFE.plist", false},
    {"Other/com.google.Chrome.0F1E2D3C.plist", false},
    // The identifier inside a longer folder name does not claim what is beneath it.
    {"Old com.google.Chrome/com.other.App.plist", false},
    // Letter case counts here.
    {"com.google.chrome.plist", false},
    {"COM.GOOGLE.CHROME.savedState", false},
    // Suffixes that only look alike.
    {"com.google.Chrome.plistx", false},
    {"com.google.Chrome.savedStateOld", false},
};

TEST(Ownership, PreferenceNamesCompareAsWritten) {
    for (const NameCase& c : kPreferenceCases) {
        EXPECT_EQ(belongsToTarget(c.relativePath, "com.google.Chrome"), c.owned) << c.relativePath;
    }
}

// Caches and Cookies: the same names, letter case ignored.
TEST(Ownership, CacheAndCookieNamesIgnoreLetterCase) {
    const NameCase cases[] = {
        {"COM.APPLE.SAFARI", true},
        {"com.apple.safari/fsCachedData/1A2B", true},
        {"com.apple.Safari.BinaryCookies", true},
        {"Com.Apple.Safari.SAVEDSTATE", true},
        {"com.apple.Safari.SafeBrowsing", false},
        {"com.apple.SafariTechnologyPreview", false},
        {"COM.APPLE.SAFARITECHNOLOGYPREVIEW.binarycookies", false},
        {"Metadata/com.apple.Safari.History", false},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(belongsToTarget(c.relativePath, "com.apple.Safari", LetterCase::Ignored), c.owned)
            << c.relativePath;
    }
}

// Saved Application State holds nothing of the target's but its ID.savedState.
TEST(Ownership, SavedStateHoldsOnlyTheSavedStateFolder) {
    const NameCase cases[] = {
        {"com.example.Widget.savedState", true},
        {"com.example.Widget.savedState/windows.plist", true},
        {"com.example.Widget", false},
        {"com.example.Widget.plist", false},
        {"com.example.Widget.savedState.savedState", false},
        {"com.example.Widget.savedstate", false},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(belongsToTarget(c.relativePath, "com.example.Widget", LetterCase::Significant,
                                  OwnNames::SavedStateOnly),
                  c.owned)
            << c.relativePath;
    }
}

TEST(Ownership, AnEmptyIdentifierOwnsNothing) {
    for (const char* path : {"", "/", "a", ".plist", ".savedState", "x/.plist"}) {
        EXPECT_FALSE(belongsToTarget(path, "")) << path;
        EXPECT_FALSE(belongsToTarget(path, "", LetterCase::Ignored)) << path;
    }
}

TEST(SystemTarget, OnlyAFolderNamedCoreServicesMakesOne) {
    const NameCase cases[] = {
        {"/System/Library/CoreServices/Dock.app", true},
        {"/System/Library/CoreServices/Finder.app/", true},
        {"/system/library/coreservices/Finder.app", true},
        {"/Users/me/test/CORESERVICES/Sub/Odd.app", true},
        {"/Users/me/Apps/CoreServicesExtras/Widget.app", false},
        {"/Users/me/Apps/MyCoreServices/Widget.app", false},
        {"/Applications/CoreServices.app", false},
        {"/Applications/CoreServices Helper.app", false},
        {"CoreServices", false},
        {"", false},
    };
    for (const NameCase& c : cases) {
        EXPECT_EQ(isSystemTargetPath(c.relativePath), c.owned) << c.relativePath;
    }
}

} // namespace
} // namespace corvane::testing
