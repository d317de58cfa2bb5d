#include "fix/ResetRecord.h"

#include "fix/Restore.h"
#include "support/TempHome.h"

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
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
    record.moved = {
        {"/h/Library/Preferences/com.x.App.plist", "/h/T/files/com.x.App.plist", std::nullopt},
        {"/h/Library/Cookies/Cookies.binarycookies", "/h/T/files/Cookies.binarycookies",
         EntryStamp{1, 2, 3, 4'000'000'005}}};
    record.removed = {"/h/Library/Saved Application State/com.x.App.savedState"};
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

TEST(ResetRecordText, ReadsBackWhatItWroteAndNothingHalfWritten) {
    ResetRecord record = sample(1796686860);
    // A name that is not UTF-8 is still a name on this system; it must come back byte for byte.
    record.moved.push_back(
        {"/h/Library/Preferences/com.x.App.\xff\xfe.plist", "/h/T/files/\xff\xfe", std::nullopt});
    const std::string text = resetRecordJson(record);
    const std::optional<ResetRecord> back = parseResetRecord(text);
    ASSERT_TRUE(back);
    EXPECT_EQ(back->moved, record.moved);
    EXPECT_EQ(back->removed, record.removed);
    EXPECT_EQ(back->time, record.time);
    EXPECT_EQ(back->applicationName, record.applicationName);

    const std::vector<std::pair<std::string, std::string>> broken = {
        {"cut short", text.substr(0, text.size() / 2)},
        {"empty", ""},
        {"not an object", "[1, 2]"},
        {"moved not a list", R"({"format":1,"identifier":"a","application":{"name":"n","path":"p",
          "system":false},"time":1,"moved":{"a":{"original":"/o","trashed":"/t"}},"removed":[]})"},
        {"entry without trashed", R"({"format":1,"identifier":"a","application":{"name":"n",
          "path":"p","system":false},"time":1,"moved":[{"original":"/o"}],"removed":[]})"},
        {"time as text", R"({"format":1,"identifier":"a","application":{"name":"n","path":"p",
          "system":false},"time":"1","moved":[],"removed":[]})"},
        {"other format", R"({"format":2,"identifier":"a","application":{"name":"n","path":"p",
          "system":false},"time":1,"moved":[],"removed":[]})"},
        {"odd hex path", R"({"format":1,"identifier":"a","application":{"name":"n","path":"p",
          "system":false},"time":1,"moved":[{"original":{"hex":"2f6"},"trashed":"/t"}],
          "removed":[]})"},
    };
    for (const auto& [what, bad] : broken) {
        EXPECT_FALSE(parseResetRecord(bad)) << what;
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
    TempHome home;
    std::string folder = ResetRecords::folderIn(home.library());
    ResetRecords records{folder};
};

TEST_F(ResetRecordFolder, KeepsTheNewestRecordsAndNamesThemInOrder) {
    // Several resets within one second still get names of their own, in order.
    for (std::size_t i = 0; i < ResetRecords::kKept + 2; ++i) {
        ResetRecord record = sample(1796686860 + i / 3);
        record.applicationName = "App" + std::to_string(i) + ".app";
        ASSERT_TRUE(records.add(record));
    }
    const std::vector<std::string> names = files();
    EXPECT_EQ(names.size(), ResetRecords::kKept); // no temporary file left either
    const std::optional<ResetRecord> latest = records.latest();
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->applicationName, "App" + std::to_string(ResetRecords::kKept + 1) + ".app");
    EXPECT_EQ(latest->id + ".json", names.back());

    records.remove(latest->id);
    ASSERT_TRUE(records.latest());
    EXPECT_EQ(records.latest()->applicationName,
              "App" + std::to_string(ResetRecords::kKept) + ".app");
}

TEST_F(ResetRecordFolder, ANewerRecordThatDoesNotReadIsPassedOver) {
    ResetRecord record = sample(1796686860);
    ASSERT_TRUE(records.add(record));
    const std::string text = resetRecordJson(record);
    // As a crash or a full disk might leave one, and as a hand might.
    std::ofstream(folder + "/20991231T235959Z-00.json") << text.substr(0, 40);
    std::ofstream(folder + "/20991231T235959Z-01.json.swp") << text;
    fs::create_directory_symlink("/", folder + "/20991231T235959Z-02.json");

    const std::optional<ResetRecord> latest = records.latest();
    ASSERT_TRUE(latest);
    EXPECT_EQ(latest->id, record.id);
}

} // namespace
} // namespace corvane::testing
