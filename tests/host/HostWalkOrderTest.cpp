#include "host/posix/HostFileSystem.h"
#include "support/TempHome.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <random>
#include <set>
#include <vector>

namespace corvane::testing {
namespace {

std::vector<std::string> topLevel(const std::string& root) {
    std::vector<std::string> seen;
    HostFileSystem().walk(root, [&](const std::string& relative) {
        if (relative.find('/') == std::string::npos) {
            seen.push_back(relative);
        }
        return true;
    });
    return seen;
}

// Punctuation between the two letter cases, prefixes and bytes above ASCII are where a faster
// sort could drift from the documented order.
TEST(HostWalkOrder, PunctuationPrefixesAndNonAsciiBytes) {
    TempHome home;
    for (const char* name :
         {"B", "a", "A", "a_", "[", "_", "`", "ab", "aB", "\xc3\xa9", "\xc3\x89", "Z"}) {
        home.file(std::string("root/") + name);
    }
    EXPECT_EQ(topLevel(home.path() + "/root"),
              (std::vector<std::string>{"[", "_", "`", "A", "a", "a_", "aB", "ab", "B", "Z",
                                        "\xc3\x89", "\xc3\xa9"}));
}

// With and without a long start that every name shares, and with names alike in their first
// eight letters past it, where a sort that compares a few bytes first must look further.
TEST(HostWalkOrder, LargeFolderFollowsWalkOrderLess) {
    for (const std::string prefix : {"", "com.Example.Target."}) {
        SCOPED_TRACE(prefix);
        TempHome home;
        const std::string alphabet = "aAbBzZ09_[`.- \xc3\xa9\x89";
        std::mt19937 random(7);
        std::set<std::string> names = {prefix + "abcdefgh",  prefix + "ABCDEFGH",
                                       prefix + "abcdefghi", prefix + "ABCDEFGHi",
                                       prefix + "abcdefgH_", prefix + "abcdefg"};
        while (names.size() < 400) {
            std::string name = prefix;
            const std::size_t length = 1 + random() % 10;
            for (std::size_t i = 0; i < length; ++i) {
                name += alphabet[random() % alphabet.size()];
            }
            if (name != "." && name != "..") {
                names.insert(name);
            }
        }
        bool folder = false;
        for (const std::string& name : names) {
            folder ? home.folder("root/" + name) : home.file("root/" + name);
            folder = !folder;
        }
        std::vector<std::string> expected(names.begin(), names.end());
        std::sort(expected.begin(), expected.end(), walkOrderLess);
        EXPECT_EQ(topLevel(home.path() + "/root"), expected);
    }
}

} // namespace
} // namespace corvane::testing
