#include "hostile/HostileFixture.h"

#include <cstdlib>

namespace corvane::testing {
namespace {

// The real file system, as if the environment and the password database gave no home.
class NoHomeFileSystem : public HostFileSystem {
public:
    std::optional<std::string> homeDirectory() const override { return std::nullopt; }
};

// --- A home that cannot be used ----------------------------------------------------------------
//
// Its Library would be "/Library", a relative folder, or nothing at all: the user is told, and
// nothing is walked or removed.

struct BadHome {
    const char* label;
    std::optional<std::string> value; // none: no home at all
    bool linkToRoot = false;          // a link in the temporary folder that leads to "/"
};

void PrintTo(const BadHome& home, std::ostream* out) {
    *out << home.label;
}

class UnusableHome : public HostileFixture, public ::testing::WithParamInterface<BadHome> {
protected:
    void useHome() {
        const BadHome bad = GetParam();
        if (!bad.value) {
            services.fileSystem = &noHome;
            return;
        }
        std::string value = *bad.value;
        if (bad.linkToRoot) {
            makeLink("/", outside.path() + "/home");
            value = outside.path() + "/home";
        }
        setenv("HOME", value.c_str(), 1);
    }

    NoHomeFileSystem noHome;
};

TEST_P(UnusableHome, IsRefusedWithAMessageAndNothingIsRemoved) {
    home.file("Library/Preferences/com.example.App.plist");
    const std::string app = bundleWithIdentifier("Example.app", "com.example.App");
    useHome();
    choose(app);

    EXPECT_EQ(window.nameField.value, "Example.app");
    EXPECT_NE(text().find("home folder"), std::string::npos) << text();
    EXPECT_FALSE(window.fixButton.enabled);
    EXPECT_TRUE(delegate().fullFilePaths().empty());
    EXPECT_TRUE(delegate().fullStatePaths().empty());
    EXPECT_TRUE(launcher.runs.empty());

    // Fix is disabled; one that got through anyway still removes nothing.
    EXPECT_TRUE(fixAndCheck().empty());
    EXPECT_EQ(removalRuns(), 0u);
    EXPECT_TRUE(home.exists("Library/Preferences/com.example.App.plist"));
}

INSTANTIATE_TEST_SUITE_P(Hostile, UnusableHome,
                         ::testing::Values(BadHome{"Unset", std::nullopt},
                                           BadHome{"Empty", std::string()},
                                           BadHome{"Relative", std::string("relative/home")},
                                           BadHome{"Dot", std::string(".")},
                                           BadHome{"Root", std::string("/")},
                                           BadHome{"DoubleSlash", std::string("//")},
                                           BadHome{"RootDot", std::string("/.")},
                                           BadHome{"RootParent", std::string("/tmp/..")},
                                           BadHome{"LinkToRoot", std::string(), true}),
                         [](const auto& row) { return std::string(row.param.label); });

} // namespace
} // namespace corvane::testing
