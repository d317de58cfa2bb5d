// Inputs found by fuzzing the plist reader and the decoding of its output.
#include "host/posix/PlistBundleReader.h"
#include "support/PlistFiles.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

// A binary plist's one-byte strings may hold any bytes. Such a value used to be printed as it
// was, and the reader's whole output was then refused: the bundle lost every value with it.
TEST(PlistReaderFindings, AValueThatIsNotUtf8IsLeftOutAlone) {
    TempHome home;
    BinaryPlistBuilder builder;
    const std::size_t top = builder.dict({{1, 2}, {3, 4}, {5, 6}});
    builder.string("CFBundleIdentifier");
    builder.string("com.example.Editor");
    builder.string("CFBundleIconFile");
    builder.string("Ed\x92\x9eitor");
    builder.string("CFBundleShortVersionString");
    builder.string("2.5.1");
    const auto info =
        PlistBundleReader().readBundle(makeBundle(home.path(), "Editor.app", builder.build(top)));
    ASSERT_TRUE(info);
    EXPECT_EQ(info->identifier, "com.example.Editor");
    EXPECT_FALSE(info->iconFile);
    EXPECT_EQ(info->shortVersion, "2.5.1");

    BinaryPlistBuilder latin1;
    const std::size_t root = latin1.dict({{1, 2}, {3, 4}});
    latin1.string("CFBundleIdentifier");
    latin1.string("com.e\xe9");
    latin1.string("CFBundleIconFile");
    latin1.string("Editor");
    const auto odd =
        PlistBundleReader().readBundle(makeBundle(home.path(), "Odd.app", latin1.build(root)));
    ASSERT_TRUE(odd);
    EXPECT_FALSE(odd->identifier);
    EXPECT_EQ(odd->iconFile, "Editor");
}

// The reader never prints a tab or a carriage return inside a value; output that has one was
// not written by it and is refused whole, as any other malformed output.
TEST(PlistReaderFindings, OutputWithATabOrCarriageReturnInAValueIsRefused) {
    const std::string head = "corvane-plist-reader 1\nCFBundleIdentifier\tcom.x.A\n";
    EXPECT_TRUE(parsePlistReaderOutput(head + "CFBundleIconFile\tA.icns\nend\n"));
    EXPECT_FALSE(parsePlistReaderOutput(
        head + "CFBundleIconFile\tA.icnsB\vCFundleShortVers%onString\t2.0\nend\n"));
    EXPECT_FALSE(parsePlistReaderOutput(head + "CFBundleIconFile\tA.icns\r\nend\n"));
    EXPECT_FALSE(parsePlistReaderOutput(head + "CFBundleShortVersionString\t\t\nend\n"));
}

} // namespace
} // namespace corvane::testing
