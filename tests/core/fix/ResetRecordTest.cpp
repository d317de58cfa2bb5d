#include "core/fix/ResetRecord.h"

#include "base/Text.h"
#include "core/fix/Restore.h"
#include "support/TempHome.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

ResetRecord sample(std::int64_t time) {
    ResetRecord record;
    record.identifier = "com.x.App";
    record.applicationName = "Widget.app";
    record.applicationPath = "/Applications/Widget.app";
    record.time = time;
    record.moved = {{"/h/Library/Preferences/com.x.App.plist",
                     "/h/T/files/com.x.App.plist",
                     {7, 8},
                     std::nullopt},
                    {"/h/Library/Cookies/Cookies.binarycookies",
                     "/h/T/files/Cookies.binarycookies",
                     {9, 10},
                     EntryStamp{1, 2, 3, 4'000'000'005}}};
    record.removed = {"/h/Library/Saved Application State/com.x.App.savedState"};
    record.planned = {record.moved[0].original, record.moved[1].original, record.removed[0]};
    return record;
}

class LocalTime : public ::testing::Test {
protected:
    explicit LocalTime(const char* zone = "UTC") {
        if (const char* previous = std::getenv("TZ")) {
            m_previous = previous;
        }
        setenv("TZ", zone, 1);
        tzset();
    }
    ~LocalTime() override {
        if (m_previous) {
            setenv("TZ", m_previous->c_str(), 1);
        } else {
            unsetenv("TZ");
        }
        tzset();
    }

private:
    std::optional<std::string> m_previous;
};

TEST_F(LocalTime, ResetTimesReadAsDayMonthYearAndTwentyFourHourClock) {
    const std::vector<std::pair<std::int64_t, std::string>> rows = {
        {1796686860, "7 December 2026 at 23:41"},
        {0, "1 January 1970 at 00:00"},
        {951782400 + 9 * 60 + 5, "29 February 2000 at 00:09"},
    };
    for (const auto& [time, text] : rows) {
        EXPECT_EQ(resetTimeText(time), text) << time;
    }
    ResetRecord record = sample(1796686860);
    EXPECT_EQ(restoreQuestionText(record),
              "Put back the settings of Widget.app that were reset on 7 December 2026 at 23:41?");
}

TEST(ResetRecordText, ReadsBackWhatItWroteIgnoresATornLastLineAndRefusesDamage) {
    ResetRecord record = sample(1796686860);
    // A name that is not UTF-8 is still a name on this system; it must come back byte for byte.
    record.moved.push_back({"/h/Library/Preferences/com.x.App.\xff\xfe.plist",
                            "/h/T/files/\xff\xfe",
                            {11, 12},
                            std::nullopt});
    const std::string text = resetRecordText(record);
    const std::optional<ResetRecord> back = parseResetRecord(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->moved, record.moved);
    EXPECT_EQ(back->removed, record.removed);
    EXPECT_EQ(back->planned, record.planned);
    EXPECT_EQ(back->time, record.time);
    EXPECT_EQ(back->applicationName, record.applicationName);

    // A run killed while writing a line leaves it cut short: the lines before it stand.
    const std::string head = resetRecordHeadLine(record);
    const std::string first = movedEntryLine(record.moved[0]);
    const std::string second = movedEntryLine(record.moved[2]);
    const std::optional<ResetRecord> torn =
        parseResetRecord(head + first + second.substr(0, second.size() / 2));
    ASSERT_TRUE(torn);
    EXPECT_EQ(torn->moved, std::vector<TrashedEntry>{record.moved[0]});

    const std::vector<std::pair<std::string, std::string>> damaged = {
        {"empty", ""},
        {"head cut short", head.substr(0, head.size() / 2)},
        {"head not an object", "[1, 2]\n" + first},
        {"a whole line that does not read", head + "{\"original\": \n" + first},
        {"a line without its place in the Trash", head + "{\"original\":\"/o\",\"device\":1}\n"},
        {"an earlier format", "{\"format\":1,\"identifier\":\"a\",\"application\":{\"name\":\"n\","
                              "\"path\":\"p\",\"system\":false},\"time\":1,\"moved\":[],"
                              "\"removed\":[]}\n"},
        {"odd hex path", head + "{\"removed\":{\"hex\":\"2f6\"}}\n"},
    };
    for (const auto& [what, bad] : damaged) {
        EXPECT_FALSE(parseResetRecord(bad)) << what;
    }
}

// The keys of a settings folder come back from the record exactly, in the journal and after a
// rewrite; a reset that did not happen takes its dump out again; a value that cannot be kept
// whole is refused before anything is reset.
TEST(ResetRecordText, SettingsDumpsReadBackAsWrittenAndAStayedResetDropsItsDump) {
    ResetRecord record = sample(1796686860);
    const SettingsDump editor{{"/org/gnome/TextEditor/", {"/org/gnome/TextEditor/Devel/"}},
                              {{"/org/gnome/TextEditor/style", "'it\\'s \"x\"'"},
                               {"/org/gnome/TextEditor/size", "(uint32 800, 600)"},
                               {"/org/gnome/TextEditor/empty", "@as []"}}};
    const SettingsDump session{{"/org/gnome/text-editor/", {}},
                               {{"/org/gnome/text-editor/k", "1"}}};
    const Result<std::string> editorLine = settingsDumpLine(editor);
    const Result<std::string> sessionLine = settingsDumpLine(session);
    ASSERT_TRUE(editorLine.ok() && sessionLine.ok());
    const std::string head = resetRecordHeadLine(record);
    const std::string moved = movedEntryLine(record.moved[0]);

    struct Case {
        const char* what;
        std::string text;
        std::vector<SettingsDump> settings;
    };
    const std::vector<Case> cases = {
        {"both dumps", head + *editorLine + moved + *sessionLine, {editor, session}},
        {"one reset stayed",
         head + *editorLine + *sessionLine + settingsStayedLine(session.folder.path),
         {editor}},
        {"the last dump cut short", head + *editorLine + sessionLine->substr(0, 20), {editor}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::optional<ResetRecord> read = parseResetRecord(c.text);
        ASSERT_TRUE(read);
        EXPECT_EQ(read->settings, c.settings);
        // A rewrite keeps what the journal holds.
        ResetRecord rewritten = *read;
        const std::optional<ResetRecord> again = parseResetRecord(resetRecordText(rewritten));
        ASSERT_TRUE(again);
        EXPECT_EQ(again->settings, c.settings);
    }
    EXPECT_FALSE(settingsDumpLine({{"/a/", {}}, {{"/a/k", "'\xff'"}}}).ok());
    EXPECT_FALSE(parseResetRecord(head + R"({"settings":"/a/","values":{"/a/k":1}})" + "\n"));
}

// A line about a moved entry reaches the entry moved under that name last, also when the name
// is taken again after its first entry stayed, and after many other such lines.
TEST(ResetRecordText, LinesAboutAMovedEntryReachThatEntry) {
    ResetRecord record = sample(1796686860);
    record.moved.clear();
    std::string text = resetRecordHeadLine(record);
    std::vector<TrashedEntry> expected;
    // Folders change when moved, so each gets a line of its own after its move.
    for (std::uint64_t i = 0; i < 3000; ++i) {
        TrashedEntry entry{"/h/Library/Saved Application State/" + std::to_string(i),
                           "/h/T/files/" + std::to_string(i),
                           {1, i},
                           std::nullopt};
        text += movedEntryLine(entry);
        entry.identity = {1, i + 100'000, 4096, 7};
        text += settledLine(entry.trashed, entry.identity);
        expected.push_back(entry);
    }
    const TrashedEntry first{
        "/h/Library/Preferences/a.plist", "/h/T/files/a.plist", {2, 1}, std::nullopt};
    TrashedEntry again{
        "/h/Library/Preferences/b/a.plist", "/h/T/files/a.plist", {2, 2}, EntryStamp{2, 3, 4, 5}};
    text += movedEntryLine(first) + stayedLine(first.trashed) + movedEntryLine(again) +
            leftInPlaceLine(again.trashed, *again.leftInPlace);
    text += stayedLine(expected[10].trashed) + stayedLine("/h/T/files/never-moved");
    expected.erase(expected.begin() + 10);
    expected.push_back(again);

    const std::optional<ResetRecord> read = parseResetRecord(text);
    ASSERT_TRUE(read);
    ASSERT_EQ(read->moved.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(read->moved[i].original, expected[i].original);
        EXPECT_EQ(read->moved[i].identity, expected[i].identity) << expected[i].original;
        EXPECT_EQ(read->moved[i].leftInPlace, expected[i].leftInPlace) << expected[i].original;
    }
}

TEST(ResetRecordText, PlainRunEndsAtTheFirstByteJsonWouldEscapeOrUtf8Starts) {
    // Paths are read and written sixteen and eight bytes at a time; a byte that ends the run is
    // found at every place in a block and across the bytes that follow whole blocks.
    for (const char stop : {'"', '\\', '\x01', '\x1f', '\x80', '\xc3', '\xff', '\0'}) {
        for (const std::size_t size : {std::size_t{20}, std::size_t{27}}) {
            for (std::size_t at = 0; at < size; ++at) {
                std::string text(size, 'a');
                text[at] = stop;
                SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(stop)));
                EXPECT_EQ(plainJsonPrefix(text), at);
            }
        }
    }
    for (const std::string_view plain : {"", " ~", "/home/a b/Library/Preferences/x.plist"}) {
        EXPECT_EQ(plainJsonPrefix(plain), plain.size());
    }
}

TEST(ResetRecordText, ALineReadsTheSameInEveryJsonFormAndIsRefusedInNone) {
    const TrashedEntry entry{
        "/o/a\"b\\c\u00e9", "/t/files/a", {1, 2, 3, -4, "2026-12-08T10:00:00"}, std::nullopt};
    const std::string date = R"("deletionDate":"2026-12-08T10:00:00")";
    const std::string rest = R"("original":"/o/a\"b\\c\u00e9","trashed":"/t/files/a"})";
    const std::string plainEnd = R"(,"original":"/o/a","trashed":"/t/files/a"})";
    TrashedEntry plain = entry;
    plain.original = "/o/a";
    TrashedEntry hex = plain;
    hex.original = "/o/\xff";
    TrashedEntry bare = plain;
    bare.identity = {1, 2};
    std::string written = movedEntryLine(entry);
    written.pop_back();
    const std::vector<std::pair<std::string, std::optional<TrashedEntry>>> rows = {
        // As written, and as any JSON writer may write the same values.
        {written, entry},
        {R"({"device":1,"inode":2,"size":3,"modifiedNanoseconds":-4,)" + date + "," + rest, entry},
        {R"({ "device" : 1 , "inode":2,"size":3,"modifiedNanoseconds":-4,)" + date + "," + rest,
         entry},
        {R"({"inode":2,"device":1,"modifiedNanoseconds":-4,"size":3,)" + date + "," + rest, entry},
        {R"({"device":1,"inode":2,"size":3,"modifiedNanoseconds":-4,)" + date + plainEnd, plain},
        {R"({"device":1,"inode":2,"size":3,"modifiedNanoseconds":-4,)" + date +
             R"(,"original":{"hex":"2f6f2fff"},"trashed":"/t/files/a"})",
         hex},
        {R"({"device":1,"inode":2)" + plainEnd, bare},
        // Not JSON, or not a moved entry's line.
        {R"({"device":01,"inode":2)" + plainEnd, std::nullopt},
        {R"({"device":1,"inode":2)" + plainEnd + "x", std::nullopt},
        {R"({"device":1,"inode":2,"original":"/o/)" + std::string(1, '\x01') +
             R"(","trashed":"/t/files/a"})",
         std::nullopt},
        {R"({"device":1,"inode":2,"original":"/o/)" + std::string(1, '\xff') +
             R"(","trashed":"/t/files/a"})",
         std::nullopt},
        {R"({"device":1,"inode":2,"original":"/o/a"})", std::nullopt},
    };
    const std::string head = resetRecordHeadLine(sample(1796686860));
    for (const auto& [line, expected] : rows) {
        SCOPED_TRACE(line);
        const std::optional<ResetRecord> read = parseResetRecord(head + line + "\n");
        ASSERT_EQ(read.has_value(), expected.has_value());
        if (expected) {
            EXPECT_EQ(read->moved, std::vector<TrashedEntry>{*expected});
        }
    }

    // The head's list of planned places, however it is written.
    const std::string fields = R"({"application":{"name":"n","path":"p","system":false},)"
                               R"("format":3,"identifier":"i","time":5)";
    const std::vector<std::pair<std::string, std::optional<std::vector<std::string>>>> heads = {
        {fields + R"(,"planned":[]})", std::vector<std::string>{}},
        {fields + R"(,"planned":["/a","/b"]})", std::vector<std::string>{"/a", "/b"}},
        {fields + R"(,"planned": [ "/a" , "/b\"" ]})", std::vector<std::string>{"/a", "/b\""}},
        {fields + R"(,"planned":["/a",{"hex":"2fff"}]})", std::vector<std::string>{"/a", "/\xff"}},
        {R"({"planned":["/a"],)" + fields.substr(1) + "}", std::vector<std::string>{"/a"}},
        {fields + R"(,"planned":["/a",]})", std::nullopt},
        {fields + R"(,"planned":["/a"]}})", std::nullopt},
        {R"({,"planned":["/a"]})", std::nullopt},
        {R"({"format":3,"planned":["/a"]})", std::nullopt},
    };
    for (const auto& [line, expected] : heads) {
        SCOPED_TRACE(line);
        const std::optional<ResetRecord> read = parseResetRecord(line + "\n");
        ASSERT_EQ(read.has_value(), expected.has_value());
        if (expected) {
            EXPECT_EQ(read->planned, *expected);
            EXPECT_EQ(read->identifier, "i");
            EXPECT_EQ(read->time, 5);
        }
    }
}

class ResetRecordFolder : public ::testing::Test {
protected:
    std::vector<std::string> files() const {
        std::vector<std::string> names;
        for (const auto& entry : fs::directory_iterator(folder)) {
            names.push_back(entry.path().filename().string());
        }
        std::sort(names.begin(), names.end());
        return names;
    }
    // Begins a record and writes its lines, as a reset does.
    std::string add(ResetRecord record) {
        Result<std::unique_ptr<ResetJournal>> journal = records.begin(record);
        EXPECT_TRUE(journal) << journal.error().reason;
        if (!journal) {
            return {};
        }
        for (const TrashedEntry& entry : record.moved) {
            EXPECT_TRUE((*journal)->append(movedEntryLine(entry)));
            if (entry.leftInPlace) {
                EXPECT_TRUE((*journal)->append(leftInPlaceLine(entry.trashed, *entry.leftInPlace)));
            }
        }
        return record.id;
    }
    std::optional<ResetRecord> latest() const {
        LatestRecord found = records.latest();
        ResetRecord* record = std::get_if<ResetRecord>(&found);
        return record ? std::optional(*record) : std::nullopt;
    }
    TempHome home;
    std::string folder = ResetRecords::folderIn(home.library());
    ResetRecords records{folder};
};

TEST_F(ResetRecordFolder, KeepsTheNewestRecordsForTheUserAloneAndNamesThemInOrder) {
    // Several resets within one second still get names of their own, in order.
    for (std::size_t i = 0; i < ResetRecords::kKept + 2; ++i) {
        ResetRecord record = sample(1796686860 + static_cast<std::int64_t>(i / 3));
        record.applicationName = "App" + std::to_string(i) + ".app";
        add(record);
    }
    const std::vector<std::string> names = files();
    EXPECT_EQ(names.size(), ResetRecords::kKept); // no temporary file left either
    for (const std::string& name : names) {
        EXPECT_EQ(name.find('.'), std::string::npos) << name;
        EXPECT_EQ(fs::status(folder + "/" + name).permissions() & fs::perms::all,
                  fs::perms::owner_read | fs::perms::owner_write);
    }
    const std::optional<ResetRecord> newest = latest();
    ASSERT_TRUE(newest);
    EXPECT_EQ(newest->applicationName, "App" + std::to_string(ResetRecords::kKept + 1) + ".app");
    EXPECT_EQ(newest->id, names.back());
    EXPECT_EQ(newest->moved, sample(0).moved);

    records.remove(newest->id);
    ASSERT_TRUE(latest());
    EXPECT_EQ(latest()->applicationName, "App" + std::to_string(ResetRecords::kKept) + ".app");

    // A record begun after an earlier one of its second has gone still sorts last.
    const std::int64_t second = 1796690000;
    const std::string first = add(sample(second));
    add(sample(second));
    records.remove(first);
    ResetRecord later = sample(second);
    later.applicationName = "Later.app";
    add(later);
    EXPECT_EQ(latest()->applicationName, "Later.app");
}

TEST_F(ResetRecordFolder, ADamagedNewestRecordIsNamedInsteadOfPassedOver) {
    const std::string older = add(sample(1796686860));
    const std::string text = contentOf(folder + "/" + older);
    // Names that are not records are not read at all.
    std::ofstream(folder + "/20991231T235959Z-01.swp") << "x";
    std::ofstream(folder + "/.20991231T235959Z-02.tmp-1") << "x";
    ASSERT_TRUE(latest());

    const std::vector<std::pair<std::string, std::function<void(const std::string&)>>> damage = {
        {"head cut short",
         [&](const std::string& path) { std::ofstream(path) << text.substr(0, 40); }},
        {"a link to a folder",
         [](const std::string& path) { fs::create_directory_symlink("/", path); }},
    };
    for (const auto& [what, make] : damage) {
        SCOPED_TRACE(what);
        const std::string newest = folder + "/20991231T235959Z-00";
        make(newest);
        const LatestRecord found = records.latest();
        ASSERT_TRUE(std::holds_alternative<DamagedRecord>(found));
        EXPECT_EQ(std::get<DamagedRecord>(found).id, "20991231T235959Z-00");
        fs::remove(newest);
    }
}

TEST_F(ResetRecordFolder, TheHistoryListsNewestFirstKeepsTheDamagedAndFindsOneByName) {
    ResetRecord widget = sample(1796686860);
    widget.identifier = "com.example.Widget";
    ResetRecord other = sample(1796686870);
    other.identifier = "com.example.Other";
    const std::string first = add(widget);
    const std::string second = add(other);
    widget.time = 1796686880;
    const std::string third = add(widget);
    const std::string damaged = "20991231T235959Z-00";
    std::ofstream(folder + "/" + damaged) << "{";

    const auto idsOf = [](const std::vector<KeptRecord>& kept) {
        std::vector<std::string> ids;
        for (const KeptRecord& one : kept) {
            ids.push_back(std::visit([](const auto& record) { return record.id; }, one));
        }
        return ids;
    };
    EXPECT_EQ(idsOf(records.all()), (std::vector<std::string>{damaged, third, second, first}));
    EXPECT_EQ(idsOf(records.all("com.example.Widget")),
              (std::vector<std::string>{damaged, third, first}));

    const LatestRecord older = records.named(first);
    ASSERT_TRUE(std::holds_alternative<ResetRecord>(older));
    EXPECT_EQ(std::get<ResetRecord>(older).id, first);
    EXPECT_TRUE(std::holds_alternative<DamagedRecord>(records.named(damaged)));
    // Only a kept record's own name is read: nothing outside the folder, nothing made up.
    for (const std::string& name : {std::string("20000101T000000Z-00"), "../" + first, first + "/",
                                    std::string("com.example.Widget")}) {
        EXPECT_TRUE(std::holds_alternative<std::monostate>(records.named(name))) << name;
    }
}

TEST_F(ResetRecordFolder, ARewriteReplacesTheRecordWhole) {
    ResetRecord record = sample(1796686860);
    record.id = add(record);
    record.moved.pop_back();
    ASSERT_TRUE(records.rewrite(record));
    ASSERT_TRUE(latest());
    EXPECT_EQ(latest()->moved, record.moved);
    EXPECT_EQ(files(), std::vector<std::string>{record.id});
}

TEST_F(ResetRecordFolder, NoRecordCanBeBegunWhereTheFolderIsUnusable) {
    fs::create_directories(fs::path(folder).parent_path());
    std::ofstream(folder) << "a file where the folder should be";
    ResetRecord record = sample(1796686860);
    Result<std::unique_ptr<ResetJournal>> journal = records.begin(record);
    ASSERT_FALSE(journal);
    EXPECT_NE(journal.error().reason.find(folder), std::string::npos) << journal.error().reason;
}

} // namespace
} // namespace corvane::testing
