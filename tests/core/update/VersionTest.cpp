#include "BuildInfo.h"
#include "core/update/UpdateCheck.h"

#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

Version v(const char* text) {
    const std::optional<Version> version = Version::parseLeading(text);
    EXPECT_TRUE(version) << text;
    return version.value_or(Version());
}

struct Row {
    std::optional<std::string> page;
    const char* installed;
    UpdateOutcome expected;
};

void expectRows(const std::vector<Row>& rows) {
    for (const Row& row : rows) {
        EXPECT_EQ(decideUpdate(row.page, v(row.installed)), row.expected)
            << "page \"" << row.page.value_or("<none>") << "\", installed " << row.installed;
    }
}

TEST(UpdateDecision, ComparesComponentByComponent) {
    expectRows({
        // Equal, however many trailing zeros.
        {"1.4", "1.4", UpdateOutcome::UpToDate},
        {"1.4.0", "1.4", UpdateOutcome::UpToDate},
        {"1.4", "1.4.0.0", UpdateOutcome::UpToDate},
        {"1.04", "1.4", UpdateOutcome::UpToDate},
        // Newer.
        {"1.5", "1.4", UpdateOutcome::NewerVersion},
        {"1.4.1", "1.4", UpdateOutcome::NewerVersion},
        {"2", "1.99.99", UpdateOutcome::NewerVersion},
        // A decimal reading would call these equal or older.
        {"1.10", "1.9", UpdateOutcome::NewerVersion},
        {"1.10", "1.1", UpdateOutcome::NewerVersion},
        {"1.100000000000000000000001", "1.100000000000000000000000", UpdateOutcome::NewerVersion},
        // Older is no update.
        {"1.4", "1.5", UpdateOutcome::UpToDate},
        {"1.9", "1.10", UpdateOutcome::UpToDate},
        {"0.9.9", "1.4", UpdateOutcome::UpToDate},
    });
}

TEST(UpdateDecision, ReadsOnlyAVersionAtTheStartOfThePage) {
    expectRows({
        // White space before and words after the number are fine.
        {"  \t\n1.5", "1.4", UpdateOutcome::NewerVersion},
        {"1.5 is out now", "1.4", UpdateOutcome::NewerVersion},
        {"1.5\r\n", "1.4", UpdateOutcome::NewerVersion},
        {"\xEF\xBB\xBF"
         "1.5",
         "1.4", UpdateOutcome::NewerVersion},
        // Anything else is no version, never a newer one.
        {"", "1.4", UpdateOutcome::Unreadable},
        {"   ", "1.4", UpdateOutcome::Unreadable},
        {"v1.5", "1.4", UpdateOutcome::Unreadable},
        {"1.5beta", "1.4", UpdateOutcome::Unreadable},
        {"1.5.", "1.4", UpdateOutcome::Unreadable},
        {".5", "1.4", UpdateOutcome::Unreadable},
        {"-1.5", "1.4", UpdateOutcome::Unreadable},
        {"<!DOCTYPE html><title>404 Not Found</title>", "1.4", UpdateOutcome::Unreadable},
    });
}

TEST(UpdateDecision, OnlyAPageThatDidNotArriveMeansNoConnection) {
    expectRows({
        {std::nullopt, "1.4", UpdateOutcome::NoConnection},
        // A page's own words never stand for a failure to fetch it.
        {" No connection", "1.4", UpdateOutcome::Unreadable},
        {"9.0 No connection", "1.4", UpdateOutcome::NewerVersion},
    });
}

// The build's version is one the check can compare; one it could not read would make every
// published version look unreadable.
TEST(UpdateDecision, TheBuildsOwnVersionReads) {
    EXPECT_TRUE(Version::parseLeading(build::kVersion));
}

} // namespace
} // namespace corvane::testing
