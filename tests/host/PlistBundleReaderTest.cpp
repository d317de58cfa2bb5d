#include "host/posix/PlistBundleReader.h"

#include "support/PlistFiles.h"
#include "support/TempHome.h"

#include <chrono>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <sys/stat.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

const PlistValues kValues = {{"CFBundleIdentifier", "com.example.Editor"},
                             {"CFBundleIconFile", "Editor"},
                             {"CFBundleShortVersionString", "2.5.1"}};

// The failure the read ended in, or none when it gave a bundle.
std::optional<BundleFailure> failureOf(const Result<BundleInfo, BundleError>& read) {
    return read ? std::nullopt : std::optional(read.error().failure);
}

void writeFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

std::string writeScript(const std::string& path, const std::string& body) {
    writeFile(path, "#!/bin/sh\n" + body + "\n");
    chmod(path.c_str(), 0755);
    return path;
}

TEST(PlistBundleReader, ReadsXmlAndBinaryInfoPlists) {
    TempHome home;
    const PlistBundleReader reader;
    ASSERT_FALSE(PlistBundleReader::defaultReaderPath().empty());
    for (const std::string& plist : {xmlInfoPlist(kValues), binaryInfoPlist(kValues)}) {
        const std::string bundle = makeBundle(home.path(), "Editor.app", plist);
        const auto info = reader.readBundle(bundle);
        ASSERT_TRUE(info);
        EXPECT_EQ(info->identifier, "com.example.Editor");
        EXPECT_EQ(info->iconFile, "Editor");
        EXPECT_EQ(info->shortVersion, "2.5.1");
        EXPECT_EQ(reader.readBundle(bundle + "/")->identifier, "com.example.Editor");
    }
}

TEST(PlistBundleReader, KeepsNonAsciiValuesAndLeavesOutMissingOrNonStringOnes) {
    TempHome home;
    BinaryPlistBuilder builder;
    const std::size_t top = builder.dict({{1, 2}, {3, 4}});
    builder.string("CFBundleIdentifier");
    builder.integer(42);
    builder.string("CFBundleShortVersionString");
    builder.string("1.0");
    const auto info =
        PlistBundleReader().readBundle(makeBundle(home.path(), "Odd.app", builder.build(top)));
    ASSERT_TRUE(info);
    EXPECT_FALSE(info->identifier);
    EXPECT_FALSE(info->iconFile);
    EXPECT_EQ(info->shortVersion, "1.0");

    const auto named = PlistBundleReader().readBundle(makeBundle(
        home.path(), "Caf\u00e9.app", xmlInfoPlist({{"CFBundleIconFile", "Ic\u00f4ne"}})));
    ASSERT_TRUE(named);
    EXPECT_EQ(named->iconFile, "Ic\u00f4ne");
}

TEST(PlistBundleReader, AnItemWithoutInfoPlistIsNoBundle) {
    TempHome home;
    home.file("Notes.txt");
    home.folder("Plain.app");
    home.folder("Half.app/Contents");
    const PlistBundleReader reader;
    for (const char* name : {"Notes.txt", "Plain.app", "Half.app", "Missing.app"}) {
        const auto read = reader.readBundle(home.path() + "/" + name);
        EXPECT_EQ(failureOf(read), BundleFailure::NotABundle) << name;
    }
}

// Each of these is a bundle whose Info.plist cannot be used: it must say so, quickly, and
// without taking the test process down.
TEST(PlistBundleReader, UnusableInfoPlistIsNamedAsSuch) {
    TempHome home;
    const std::string binary = binaryInfoPlist(kValues);
    std::string oversized = xmlInfoPlist(kValues);
    oversized.insert(oversized.find("<dict>"), std::string(2 * 1024 * 1024, ' '));

    const std::vector<std::pair<std::string, std::string>> files = {
        {"Garbage.app", "this is not a property list \x01\x02\x03"},
        {"Empty.app", ""},
        {"Truncated.app", binary.substr(0, binary.size() - 20)},
        {"TruncatedXml.app", xmlInfoPlist(kValues).substr(0, 120)},
        {"Oversized.app", oversized},
        {"NotADict.app", "<plist version=\"1.0\"><array><string>com.x.A</string></array></plist>"},
    };
    const PlistBundleReader reader;
    for (const auto& [name, content] : files) {
        const auto read = reader.readBundle(makeBundle(home.path(), name, content));
        EXPECT_EQ(failureOf(read), BundleFailure::UnreadableInfoPlist) << name;
    }

    home.folder("Fifo.app/Contents");
    ASSERT_EQ(mkfifo((home.path() + "/Fifo.app/Contents/Info.plist").c_str(), 0600), 0);
    home.folder("Folder.app/Contents/Info.plist");
    home.folder("Dangling.app/Contents");
    fs::create_symlink(home.path() + "/nowhere", home.path() + "/Dangling.app/Contents/Info.plist");
    home.folder("Device.app/Contents");
    fs::create_symlink("/dev/zero", home.path() + "/Device.app/Contents/Info.plist");
    for (const char* name : {"Fifo.app", "Folder.app", "Dangling.app", "Device.app"}) {
        const auto started = Clock::now();
        const auto read = reader.readBundle(home.path() + "/" + name);
        EXPECT_EQ(failureOf(read), BundleFailure::UnreadableInfoPlist) << name;
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(3)) << name;
    }
}

TEST(PlistBundleReader, ALinkToAGoodInfoPlistIsFollowed) {
    TempHome home;
    home.file("shared/Info.plist", xmlInfoPlist(kValues));
    home.folder("Linked.app/Contents");
    fs::create_symlink(home.path() + "/shared/Info.plist",
                       home.path() + "/Linked.app/Contents/Info.plist");
    EXPECT_EQ(PlistBundleReader().readBundle(home.path() + "/Linked.app")->identifier,
              "com.example.Editor");
}

// libplist recurses once per level: in this process such a file would overflow the stack. The
// reader may die of it; that is its failure, never the caller's.
TEST(PlistBundleReader, DeeplyNestedBinaryPlistNeitherCrashesNorHangs) {
    TempHome home;
    const std::string deep = deeplyNestedInfoPlist("com.example.Deep", 100000);
    ASSERT_LT(deep.size(), 1024u * 1024u);
    const auto started = Clock::now();
    const auto info = PlistBundleReader().readBundle(makeBundle(home.path(), "Deep.app", deep));
    ASSERT_FALSE(info);
    EXPECT_NE(info.error().failure, BundleFailure::NotABundle);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
    // The same shape, shallow, is an ordinary bundle.
    EXPECT_EQ(PlistBundleReader()
                  .readBundle(makeBundle(home.path(), "Shallow.app",
                                         deeplyNestedInfoPlist("com.example.Deep", 50)))
                  ->identifier,
              "com.example.Deep");
}

// Objects shared from many places are copied by the parser each time: 14^30 nodes.
TEST(PlistBundleReader, ExponentiallySharedObjectsAreCutOff) {
    TempHome home;
    BinaryPlistBuilder builder;
    const std::size_t top = builder.dict({{1, 2}, {3, 4}});
    builder.string("CFBundleIdentifier");
    builder.string("com.example.Bomb");
    builder.string("Shared");
    for (std::size_t level = 0; level < 30; ++level) {
        builder.array(std::vector<std::size_t>(14, builder.count() + 1));
    }
    builder.string("x");
    const auto started = Clock::now();
    const auto read =
        PlistBundleReader().readBundle(makeBundle(home.path(), "Bomb.app", builder.build(top)));
    ASSERT_FALSE(read);
    EXPECT_NE(read.error().failure, BundleFailure::NotABundle);
    EXPECT_LT(Clock::now() - started, std::chrono::seconds(5));
}

TEST(PlistBundleReader, AReaderThatIsMissingFailsHangsOrFloodsIsNamed) {
    TempHome home;
    const std::string bundle = makeBundle(home.path(), "Editor.app", xmlInfoPlist(kValues));
    const std::string header = "corvane-plist-reader 1";
    struct Row {
        std::string name;
        std::string body; // none: there is no reader
        BundleFailure failure;
        std::string reason;
    };
    const std::vector<Row> readers = {
        {"missing", "", BundleFailure::ReaderMissing, "the bundle reader is missing"},
        {"crashes", "ulimit -c 0; kill -SEGV $$", BundleFailure::ReaderCrashed,
         "the bundle reader crashed"},
        {"hangs", "exec sleep 30", BundleFailure::ReaderTimedOut,
         "reading the bundle took too long"},
        {"spins", "ulimit -c 0; kill -XCPU $$", BundleFailure::ReaderTimedOut,
         "reading the bundle took too long"},
        {"refuses", "exit 4", BundleFailure::UnreadableInfoPlist, "the Info.plist is malformed"},
        {"cannot-open", "exit 3", BundleFailure::UnreadableInfoPlist,
         "the Info.plist could not be read"},
        {"fails", "printf '" + header + "\\nCFBundleIdentifier\\tcom.x.A\\nend\\n'; exit 1",
         BundleFailure::ReaderFailed, "the bundle reader failed with status 1"},
        {"floods", "exec cat /dev/zero", BundleFailure::ReaderFailed,
         "the bundle reader gave an answer that could not be understood"},
        {"garbage", "echo hello", BundleFailure::ReaderFailed,
         "the bundle reader gave an answer that could not be understood"},
    };
    for (const Row& row : readers) {
        const std::string path = home.path() + "/readers/" + row.name;
        if (!row.body.empty()) {
            writeScript(path, row.body);
        }
        const auto started = Clock::now();
        const auto read = PlistBundleReader(path).readBundle(bundle);
        EXPECT_LT(Clock::now() - started, std::chrono::seconds(4)) << row.name;
        ASSERT_FALSE(read) << row.name;
        EXPECT_EQ(read.error().failure, row.failure) << row.name;
        EXPECT_EQ(read.error().reason, row.reason) << row.name;
    }

    const std::string unstartable = writeScript(home.path() + "/readers/unstartable", "exit 0");
    chmod(unstartable.c_str(), 0644);
    const auto refused = PlistBundleReader(unstartable).readBundle(bundle);
    ASSERT_FALSE(refused);
    EXPECT_EQ(refused.error().failure, BundleFailure::ReaderMissing);
    EXPECT_EQ(refused.error().reason, "the bundle reader could not be started: Permission denied");

    const std::string good =
        writeScript(home.path() + "/readers/good",
                    "printf '" + header + "\\nCFBundleIdentifier\\tcom.x.Scripted\\nend\\n'");
    EXPECT_EQ(PlistBundleReader(good).readBundle(bundle)->identifier, "com.x.Scripted");
}

TEST(PlistReaderOutput, AcceptsOnlyTheExactShape) {
    const std::string head = "corvane-plist-reader 1\n";
    EXPECT_TRUE(parsePlistReaderOutput(head + "end\n"));
    const auto full = parsePlistReaderOutput(head + "CFBundleIdentifier\tcom.x.A\n"
                                                    "CFBundleIconFile\tA.icns\n"
                                                    "CFBundleShortVersionString\t\n"
                                                    "end\n");
    ASSERT_TRUE(full);
    EXPECT_EQ(full->identifier, "com.x.A");
    EXPECT_EQ(full->iconFile, "A.icns");
    EXPECT_EQ(full->shortVersion, "");

    for (const std::string& bad : std::vector<std::string>{
             std::string(""),
             head,                                                         // cut before the end
             head + "CFBundleIdentifier\tcom.x.A\n",                       // no end line
             "corvane-plist-reader 2\nend\n",                              // another protocol
             head + "CFBundleIdentifier\tcom.x.A\nend",                    // no final line feed
             head + "CFBundleIdentifier com.x.A\nend\n",                   // no tab
             head + "CFBundleName\tA\nend\n",                              // unknown key
             head + "CFBundleIdentifier\ta\nCFBundleIdentifier\tb\nend\n", // twice
             head + "CFBundleIdentifier\t\xff\xfe\nend\n",                 // not UTF-8
             head + std::string("CFBundleIdentifier\ta\0b\n", 23) + "end\n",
             head + "end\nCFBundleIdentifier\tcom.x.A\nend\n", // lines after the end
         }) {
        EXPECT_FALSE(parsePlistReaderOutput(bad)) << bad;
    }
}

} // namespace
} // namespace corvane::testing
