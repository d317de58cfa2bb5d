#include "cli/CommandLineFixture.h"
#include "core/fix/ResetLock.h"
#include "core/fix/ResetRecord.h"

#include <functional>
#include <nlohmann/json.hpp>
#include <regex>
#include <thread>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;

constexpr const char* kWidget = "com.example.Widget";

void writeFile(const std::string& path, const std::string& content) {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// Resets of Widget as the built program does them, against the real Trash of the test's home,
// then undone: whatever happened in between, Restore brings the reset back and strands nothing.
class Undo : public CommandLine {
public: // the rows of the tables below reach the home's places
    Undo() {
        widget = app("Widget.app", kWidget);
        plist = home.library() + "/Preferences/com.example.Widget.plist";
        byHost = home.library() + "/Preferences/ByHost/com.example.Widget.0F1E2D3C.plist";
        state = home.library() + "/Saved Application State/com.example.Widget.savedState";
    }

    // Five entries in three moves: the preference file, the per-host one, and the saved state
    // folder with the three files inside it.
    void writeSettings() const {
        writeFile(plist, "settings");
        writeFile(byHost, "by host");
        for (const char* name : {"a", "b", "c"}) {
            writeFile(state + "/" + name, name);
        }
    }
    void expectSettingsBack() const {
        EXPECT_EQ(contentOf(plist), "settings");
        EXPECT_EQ(contentOf(byHost), "by host");
        for (const char* name : {"a", "b", "c"}) {
            EXPECT_EQ(contentOf(state + "/" + name), name);
        }
    }

    std::string trashFolder() const { return home.path() + "/.local/share/Trash"; }
    std::set<std::string> namesIn(const std::string& folder) const {
        std::set<std::string> names;
        std::error_code error;
        for (fs::directory_iterator it(folder, error), end; !error && it != end;
             it.increment(error)) {
            names.insert(it->path().filename().string());
        }
        return names;
    }
    // As the freedesktop Trash wants it: an info file for every item, an item for every one.
    void expectTrashConsistent() const {
        std::set<std::string> items = namesIn(trashFolder() + "/files");
        std::set<std::string> infos;
        for (const std::string& name : namesIn(trashFolder() + "/info")) {
            infos.insert(name.substr(0, name.size() - std::string(".trashinfo").size()));
        }
        EXPECT_EQ(items, infos);
    }
    std::string recordsFolder() const { return ResetRecords::folderIn(home.library()); }
    std::vector<std::string> recordFiles() const {
        std::vector<std::string> ids;
        for (const std::string& name : namesIn(recordsFolder())) {
            if (isRecordId(name)) {
                ids.push_back(name);
            }
        }
        return ids;
    }
    std::string newestRecordFile() const {
        const std::vector<std::string> ids = recordFiles();
        return ids.empty() ? std::string() : recordsFolder() + "/" + ids.back();
    }

    // Restores until nothing is left to put back; the last run's outcome.
    Outcome restoreUntilNothingIsLeft() const {
        Outcome last;
        for (int i = 0; i < 5; ++i) {
            last = corvane({"--restore", "--yes", kWidget});
            if (last.status == 1) {
                break;
            }
        }
        return last;
    }

    Outcome withKillAt(int count, const std::vector<std::string>& arguments) const {
        setenv("CORVANE_KILL_AT", std::to_string(count).c_str(), 1);
        Outcome outcome = corvane(arguments);
        unsetenv("CORVANE_KILL_AT");
        return outcome;
    }

    std::string widget;
    std::string plist;
    std::string byHost;
    std::string state;
};

// A reset or a restore killed at any of its changes to the disk: the next restore brings every
// entry back, and the Trash keeps an info file exactly for each item it holds.
TEST_F(Undo, AKillAtEveryChangeToTheDiskStrandsNothing) {
    for (const char* killed : {"--reset", "--restore"}) {
        bool completed = false;
        for (int at = 1; at < 400 && !completed; ++at) {
            SCOPED_TRACE(std::string(killed) + " killed at change " + std::to_string(at));
            writeSettings();
            const bool resetKilled = std::string(killed) == "--reset";
            const Outcome reset = resetKilled ? withKillAt(at, {"--reset", "--yes", widget})
                                              : corvane({"--reset", "--yes", widget});
            ASSERT_TRUE(reset.status == 0 || (resetKilled && reset.status == -1)) << reset.err;
            const Outcome restore = resetKilled ? Outcome{}
                                                : withKillAt(at, {"--restore", "--yes", kWidget});
            completed = resetKilled ? reset.status == 0 : restore.status == 0;

            const Outcome last = restoreUntilNothingIsLeft();
            EXPECT_EQ(last.status, 1) << last.out << last.err;
            expectSettingsBack();
            expectTrashConsistent();
            EXPECT_TRUE(namesIn(trashFolder() + "/files").empty());
            // A run killed before its record's first line leaves one that holds nothing.
            for (const std::string& id : recordFiles()) {
                fs::remove(recordsFolder() + "/" + id);
            }
        }
        EXPECT_TRUE(completed);
    }
}

// The journal of a reset damaged on the disk: whatever of it still reads, together with the
// Trash's own notes, brings the whole reset back.
TEST_F(Undo, ARecordThatLostPartsStillBringsEverythingBack) {
    struct Damage {
        const char* what;
        std::function<void(Undo&, const std::string& record)> apply;
    };
    std::vector<Damage> rows = {
        // A remount numbered the file system anew.
        {"every device number differs",
         [](Undo&, const std::string& record) {
             const std::string text = contentOf(record);
             writeFile(record, std::regex_replace(text, std::regex("\"device\":[0-9]+"),
                                                  "\"device\":12345"));
         }},
        {"an info file lost",
         [](Undo& t, const std::string&) {
             fs::remove_all(t.trashFolder() + "/info/com.example.Widget.plist.trashinfo");
         }},
    };
    // Cut after each of its lines, the head alone included.
    for (std::size_t keep = 1; keep <= 3; ++keep) {
        rows.push_back({"lines after the first kept cut", [keep](Undo&, const std::string& record) {
                            std::istringstream in(contentOf(record));
                            std::string kept;
                            std::string line;
                            for (std::size_t i = 0; i < keep && std::getline(in, line); ++i) {
                                kept += line + "\n";
                            }
                            writeFile(record, kept);
                        }});
    }
    for (std::size_t i = 0; i < rows.size(); ++i) {
        SCOPED_TRACE(std::string(rows[i].what) + " " + std::to_string(i));
        writeSettings();
        ASSERT_EQ(corvane({"--reset", "--yes", widget}).status, 0);
        rows[i].apply(*this, newestRecordFile());

        const Outcome restore = corvane({"--restore", "--yes", kWidget});

        EXPECT_EQ(restore.status, 0) << restore.out << restore.err;
        EXPECT_NE(restore.out.find("3 entries of Widget.app came back."), std::string::npos)
            << restore.out;
        expectSettingsBack();
        EXPECT_TRUE(namesIn(trashFolder() + "/files").empty());
        expectTrashConsistent();
        EXPECT_TRUE(recordFiles().empty());
    }
}

// A damaged record, newer than the reset to put back, is named and passed over.
TEST_F(Undo, DamagedRecordsAreNamedAndPassedOver) {
    writeSettings();
    ASSERT_EQ(corvane({"--reset", "--yes", widget}).status, 0);
    const std::string empty = recordsFolder() + "/29991231T235959Z-00";
    const std::string garbled = recordsFolder() + "/29991231T235958Z-00";
    writeFile(empty, "");
    writeFile(garbled, "{\"format\":3}\n{");
    for (const std::vector<std::string>& arguments :
         {std::vector<std::string>{"--restore", "--yes"}, {"--restore", "--yes", kWidget}}) {
        const Outcome restore = corvane(arguments);
        EXPECT_EQ(restore.status, 0) << restore.err;
        EXPECT_NE(restore.err.find("29991231T235959Z-00 holds nothing to put back; it can be "
                                   "deleted"),
                  std::string::npos)
            << restore.err;
        EXPECT_NE(restore.err.find("damaged reset record 29991231T235958Z-00"), std::string::npos)
            << restore.err;
        expectSettingsBack();
        ASSERT_EQ(corvane({"--reset", "--yes", widget}).status, 0);
    }
    EXPECT_EQ(corvane({"--restore", "--yes", "29991231T235958Z-00"}).status, 4);
}

// Restore is an undo even after the application wrote new settings: what it wrote goes to the
// Trash under a record of its own, whatever kind of entry took the place.
TEST_F(Undo, WhatWasWrittenSinceIsReplacedWholeAndCanComeBackInTurn) {
    struct Occupant {
        const char* what;
        std::string Undo::*place;
        std::function<void(const std::string&)> write;
    };
    const Occupant rows[] = {
        {"a file", &Undo::plist, [](const std::string& at) { writeFile(at, "new"); }},
        {"a folder", &Undo::plist, [](const std::string& at) { writeFile(at + "/inside", "new"); }},
        {"a link", &Undo::plist,
         [](const std::string& at) { fs::create_symlink("/nowhere", at); }},
        {"a file where a folder was", &Undo::state,
         [](const std::string& at) { writeFile(at, "new"); }},
        {"a folder with other content", &Undo::state,
         [](const std::string& at) { writeFile(at + "/new", "new"); }},
    };
    for (const Occupant& row : rows) {
        SCOPED_TRACE(row.what);
        writeSettings();
        ASSERT_EQ(corvane({"--reset", "--yes", widget}).status, 0);
        const std::string place = this->*row.place;
        row.write(place);
        const auto before = fs::symlink_status(place).type();

        const Outcome restore = corvane({"--restore", "--yes", "--json", kWidget});

        EXPECT_EQ(restore.status, 0) << restore.err;
        expectSettingsBack();
        const nlohmann::json document = nlohmann::json::parse(restore.out, nullptr, false);
        ASSERT_TRUE(document.is_object()) << restore.out;
        EXPECT_EQ(document["outcome"], "done");
        ASSERT_EQ(document["replaced"]["paths"].size(), 1u) << restore.out;
        EXPECT_EQ(document["replaced"]["paths"][0]["path"], place);
        // Restore again puts back what was written since, the reset entry going aside in turn;
        // the plan says which record this is and what goes.
        const Outcome again = corvane({"--restore", "--yes", kWidget});
        EXPECT_EQ(again.status, 0) << again.err;
        EXPECT_NE(again.out.find("replaced by restoring " + document["record"].get<std::string>()),
                  std::string::npos)
            << again.out;
        EXPECT_NE(again.out.find("These were written since and go to the Trash:\n  " + place),
                  std::string::npos)
            << again.out;
        EXPECT_EQ(fs::symlink_status(place).type(), before);
        expectTrashConsistent();
        fs::remove_all(trashFolder());
        fs::remove_all(home.library());
    }
}

// Counts are of what moved and what this run put back.
TEST_F(Undo, CountsAreOfWhatMovesAndWhatCameBack) {
    writeSettings();
    const Outcome reset = corvane({"--reset", "--yes", "--json", widget});
    ASSERT_EQ(reset.status, 0) << reset.err;
    const nlohmann::json document = nlohmann::json::parse(reset.out);
    EXPECT_EQ(document["entries"].size(), 6u) << "every path, as --list gives them";
    ASSERT_EQ(document["moves"].size(), 3u);
    EXPECT_EQ(document["trashed"], document["moves"].size());
    std::size_t carried = 0;
    for (const nlohmann::json& move : document["moves"]) {
        carried += move["items"].get<std::size_t>();
        if (move["path"] == state) {
            EXPECT_EQ(move["items"], 4u);
        }
    }
    EXPECT_EQ(carried, document["entries"].size());

    // Another tool puts two of the three back, as a file manager does: item and info file.
    const std::optional<ResetRecord> record =
        std::get<ResetRecord>(ResetRecords(recordsFolder()).latest());
    ASSERT_EQ(record->moved.size(), 3u);
    for (std::size_t i = 0; i < 2; ++i) {
        const TrashedEntry& entry = record->moved[i];
        fs::rename(entry.trashed, entry.original);
        fs::remove(trashFolder() + "/info/" + fs::path(entry.trashed).filename().string() +
                   ".trashinfo");
    }
    const Outcome history = corvane({"--history", "--json"});
    const nlohmann::json kept = nlohmann::json::parse(history.out);
    EXPECT_EQ(kept["records"][0]["entries"], 3u);
    EXPECT_EQ(kept["records"][0]["in_trash"], 1u);

    const Outcome restore = corvane({"--restore", "--yes", kWidget});

    EXPECT_EQ(restore.status, 0) << restore.err;
    EXPECT_NE(restore.out.find("1 entry of Widget.app came back.\n2 entries were back in place"),
              std::string::npos)
        << restore.out;
    expectSettingsBack();
}

// A reset that had to wait for another run plans only then: when that run took everything,
// there is nothing to do, and it says so.
TEST_F(Undo, AResetThatWaitedPlansAgainOnceItHoldsTheLock) {
    writeSettings();
    fs::create_directories(recordsFolder());
    std::optional<Result<ResetLock, ResetLock::Refusal>> other = ResetLock::tryTake(recordsFolder());
    ASSERT_TRUE(*other);
    const pid_t pid = start({"--reset", "--yes", "--json", widget}, "waiting");
    std::this_thread::sleep_for(300ms);
    fs::remove_all(home.library() + "/Preferences");
    fs::remove_all(home.library() + "/Saved Application State");
    other.reset();

    const Outcome reset = finish(pid, home.path() + "/waiting.out", home.path() + "/waiting.err");

    EXPECT_EQ(reset.status, 1) << reset.out << reset.err;
    EXPECT_NE(reset.out.find("\"outcome\":\"nothing\""), std::string::npos) << reset.out;
    EXPECT_TRUE(namesIn(trashFolder() + "/files").empty());
    EXPECT_TRUE(recordFiles().empty());
}

} // namespace
} // namespace corvane::testing
