#include "host/posix/HelperPrograms.h"

#include "support/TempHome.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <ostream>
#include <string>
#include <vector>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kHelper = "corvane-plist-reader";

// A build folder with a test program below it, and an installed tree elsewhere.
constexpr const char* kBuild = "build";
constexpr const char* kTests = "build/tests";
constexpr const char* kBin = "prefix/bin";
const std::string kInstalledHelpers = std::string(kBin) + "/" + CORVANE_HELPER_DIR_FROM_BIN;

struct Layout {
    const char* name;
    std::vector<std::string> helpersIn; // folders that hold an executable helper
    std::string programIn;
    std::string expectedFrom; // empty: none found
};

void PrintTo(const Layout& layout, std::ostream* out) {
    *out << layout.name;
}

class HelperProgramLookup : public ::testing::TestWithParam<Layout> {};

void placeHelper(const std::string& folder, fs::perms perms = fs::perms::owner_all) {
    fs::create_directories(folder);
    std::ofstream(folder + "/" + kHelper) << "#!/bin/sh\n";
    fs::permissions(folder + "/" + kHelper, perms);
}

TEST_P(HelperProgramLookup, FindsTheHelperOfItsOwnTree) {
    const TempHome root;
    const Layout& layout = GetParam();
    for (const std::string& folder : layout.helpersIn) {
        placeHelper(root.path() + "/" + folder);
    }
    fs::create_directories(root.path() + "/" + layout.programIn);
    fs::create_directories(root.path() + "/" + kBuild);

    const std::string found = findHelperProgram(kHelper, root.path() + "/" + layout.programIn,
                                                root.path() + "/" + kBuild);
    if (layout.expectedFrom.empty()) {
        EXPECT_EQ(found, "");
    } else {
        EXPECT_TRUE(fs::equivalent(found, root.path() + "/" + layout.expectedFrom + "/" + kHelper))
            << found;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Layouts, HelperProgramLookup,
    ::testing::Values(
        // The program in the build folder has its helpers beside it.
        Layout{"BuildFolder", {kBuild}, kBuild, kBuild},
        // An installed program takes the helper folder of its installation.
        Layout{"Installed", {kInstalledHelpers}, kBin, kInstalledHelpers},
        Layout{"BesideComesFirst", {kBin, kInstalledHelpers}, kBin, kBin},
        // Test programs in the build folder's sub-folders use the build folder's helpers.
        Layout{"TestProgram", {kBuild}, kTests, kBuild},
        // An installed program never falls back to a build tree that may be stale.
        Layout{"InstalledIgnoresBuildTree", {kBuild}, kBin, ""},
        // A folder beside the build folder whose name starts the same is not inside it.
        Layout{"LookalikeFolder", {kBuild}, "build-other/tests", ""}),
    [](const ::testing::TestParamInfo<Layout>& row) { return std::string(row.param.name); });

TEST(HelperProgramLookupFiles, SkipsWhatCannotBeRun) {
    const TempHome root;
    const std::string bin = root.path() + "/" + kBin;
    placeHelper(bin, fs::perms::owner_read | fs::perms::owner_write);
    fs::create_directories(root.path() + "/" + kInstalledHelpers + "/" + kHelper);
    EXPECT_EQ(findHelperProgram(kHelper, bin, root.path() + "/" + kBuild), "");

    // A build folder named through a symlink still holds its test programs.
    placeHelper(root.path() + "/" + kBuild);
    fs::create_directories(root.path() + "/" + kTests);
    fs::create_directory_symlink(root.path() + "/" + kBuild, root.path() + "/link");
    EXPECT_NE(findHelperProgram(kHelper, root.path() + "/" + kTests, root.path() + "/link"), "");
}

} // namespace
} // namespace corvane::testing
