#include "host/linux/FreedesktopTrash.h"

#include "base/Text.h"
#include "support/TempHome.h"

#include <algorithm>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <functional>
#include <grp.h>
#include <gtest/gtest.h>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

EntryIdentity identityOf(const std::string& path) {
    struct stat info {};
    lstat(path.c_str(), &info);
    return {info.st_dev, info.st_ino};
}

bool present(const std::string& path) {
    struct stat info {};
    return lstat(path.c_str(), &info) == 0;
}

std::string infoFileOf(const std::string& trashed) {
    const fs::path path(trashed);
    return (path.parent_path().parent_path() / "info" / path.filename()).string() + ".trashinfo";
}

std::optional<std::string> recordedPath(const std::string& trashed) {
    return trashInfoPath(contentOf(infoFileOf(trashed)));
}

// Runs its action when it goes out of scope, also when an assertion ends the test early.
struct Cleanup {
    std::function<void()> action;
    ~Cleanup() { action(); }
};

void write(const std::string& path, const std::string& content = "x") {
    fs::create_directories(fs::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << content;
}

TEST(TrashInfoText, PercentEncodingRoundTripsEveryUnsafeByte) {
    const std::pair<std::string, std::string> cases[] = {
        {"/Library/Preferences/com.example-app_1.plist~",
         "/Library/Preferences/com.example-app_1.plist~"},
        {"/a b", "/a%20b"},
        {"/line\nbreak", "/line%0Abreak"},
        {"/%41", "/%2541"},
        {"/\xff", "/%FF"},
        {"/caf\xc3\xa9+=?#", "/caf%C3%A9%2B%3D%3F%23"},
        {std::string("/nul\0x", 6), "/nul%00x"},
    };
    for (const auto& [path, encoded] : cases) {
        SCOPED_TRACE(encoded);
        EXPECT_EQ(percentEncodedPath(path), encoded);
        EXPECT_EQ(percentDecodedPath(encoded), path);
    }
    EXPECT_EQ(percentDecodedPath("/%ff%c3%A9"), "/\xff\xc3\xa9");
    for (const char* cut : {"/%4", "/%", "/%zz", "/a%4g", "/%g4b"}) {
        EXPECT_FALSE(percentDecodedPath(cut)) << cut;
    }
}

TEST(TrashInfoText, PathComesFromTheFirstTrashInfoGroupAndMustDecode) {
    const std::pair<std::string, std::optional<std::string>> cases[] = {
        {"[Trash Info]\nPath=/a%20b\nDeletionDate=2024-01-02T03:04:05\n", "/a b"},
        {"[Other]\nPath=/x\n[Trash Info]\nPath=/y\n", "/y"},
        {"[Trash Info]\r\nPath = rel/y\r\n", "rel/y"},
        {"[Trash Info]\nDeletionDate=2024-01-02T03:04:05\n[Other]\nPath=/x\n", std::nullopt},
        {"Path=/x\n", std::nullopt},
        {"[Trash Info]\nDeletionDate=2024-01-02T03:04:05\n[Trash Info]\nPath=/x\n", std::nullopt},
        {"[Trash Info]\nPath=/x%\n", std::nullopt},
        {"[Trash Info]\nPath=/x%4\n", std::nullopt},
        {"[Trash Info]\nPath=/x%G1\n", std::nullopt},
    };
    for (const auto& [text, path] : cases) {
        SCOPED_TRACE(text);
        EXPECT_EQ(trashInfoPath(text), path);
    }
}

class FreedesktopTrashTest : public ::testing::Test {
protected:
    // The place the entry was moved to in the Trash; empty when it was not.
    // As a reset moves an entry: a place found taken by the move is not offered again.
    std::string trashed(const std::string& path) {
        for (int attempt = 0; attempt < 4; ++attempt) {
            const Result<TrashSlot> slot = trash.reserve(path);
            EXPECT_TRUE(slot) << (slot ? "" : slot.error().reason);
            const Result<std::string> moved = slot ? trash.moveInto(*slot) : Error{"not reserved"};
            if (moved || moved.error().code != EEXIST) {
                EXPECT_TRUE(moved) << (moved ? "" : moved.error().reason);
                return moved ? *moved : std::string();
            }
        }
        return {};
    }
    std::string at(const std::string& relative) const { return home.path() + "/" + relative; }

    TempHome home;
    FreedesktopTrash trash{home.path() + "/.local/share"};
    const std::string files = home.path() + "/.local/share/Trash/files/";
};

TEST_F(FreedesktopTrashTest, LongNamesAreCutInTheTrashWhileTheirInfoKeepsTheWholePath) {
    std::string accented;
    for (int i = 0; i < 127; ++i) {
        accented += "\xc3\xa9";
    }
    std::set<std::string> places;
    for (const std::string& name : {std::string(246, 'a'), std::string(255, 'b'), accented + "c"}) {
        for (const char* folder : {"one/", "two/"}) {
            const std::string original = at(folder + name);
            write(original);
            const std::string place = trashed(original);
            ASSERT_FALSE(place.empty());
            const std::string inTrash = fs::path(place).filename().string();
            EXPECT_LE(inTrash.size() + std::string(".trashinfo").size(), 255u);
            EXPECT_EQ(isValidUtf8(inTrash), isValidUtf8(name));
            EXPECT_EQ(recordedPath(place), original);
            EXPECT_TRUE(places.insert(place).second);
        }
    }
}

TEST_F(FreedesktopTrashTest, SameNamedEntriesGetDistinctPlacesAroundForeignItems) {
    write(files + "Preferences.plist.3", "foreign");
    std::set<std::string> places;
    for (int i = 0; i < 20; ++i) {
        const std::string original = at("app" + std::to_string(i) + "/Preferences.plist");
        write(original);
        const std::string place = trashed(original);
        EXPECT_TRUE(places.insert(place).second) << place;
        EXPECT_EQ(recordedPath(place), original);
    }
    EXPECT_EQ(places.count(files + "Preferences.plist.3"), 0u);
    EXPECT_EQ(contentOf(files + "Preferences.plist.3"), "foreign");
}

TEST_F(FreedesktopTrashTest, NamesOfAnyBytesRoundTrip) {
    for (const std::string name : {"bad\xff.plist", "line\nbreak", "100%41 done"}) {
        const std::string original = at("Library/" + name);
        write(original, name);
        const EntryIdentity identity = identityOf(original);
        const std::string place = trashed(original);
        ASSERT_FALSE(place.empty());
        const std::string info = contentOf(infoFileOf(place));
        EXPECT_EQ(std::count(info.begin(), info.end(), '\n'), 3) << info;
        EXPECT_NE(info.find("Path=" + percentEncodedPath(original) + "\n"), std::string::npos);
        EXPECT_EQ(trash.putBack(place, original, identity, PutBackMode::KeepWhatIsThere),
                  PutBackOutcome::Restored);
        trash.settle();
        EXPECT_EQ(contentOf(original), name);
        EXPECT_FALSE(present(place) || present(infoFileOf(place)));
    }
}

// The identity a reset records: what a remount keeps and a stranger cannot forge together.
TEST_F(FreedesktopTrashTest, TheRecordedIdentitySurvivesARemountAndRefusesAnythingElse) {
    struct Case {
        const char* what;
        std::function<void(std::string& place, EntryIdentity& identity)> change;
        TrashedItemState expected;
    };
    const Case cases[] = {
        {"untouched", [](auto&, auto&) {}, TrashedItemState::Ours},
        {"the file system numbered anew",
         [](auto&, EntryIdentity& identity) { identity.device += 7; }, TrashedItemState::Ours},
        {"its info file lost", [](auto& place, auto&) { fs::remove(infoFileOf(place)); },
         TrashedItemState::Ours},
        // The inode freed by an emptied Trash, taken again by a file trashed later by another
        // tool from the same place: only the deletion time tells them apart.
        {"the same inode deleted later",
         [](auto& place, auto&) {
             write(infoFileOf(place), "[Trash Info]\nPath=" + recordedPath(place).value_or("") +
                                          "\nDeletionDate=2099-01-01T00:00:00\n");
         },
         TrashedItemState::NotOurs},
        {"the same time written in another zone's way",
         [](auto& place, EntryIdentity& identity) {
             write(infoFileOf(place), "[Trash Info]\nPath=" + recordedPath(place).value_or("") +
                                          "\nDeletionDate=" + identity.deletionDate + "Z\n");
         },
         TrashedItemState::NotOurs},
        {"written to in the Trash",
         [](auto& place, auto&) { std::ofstream(place, std::ios::app) << "more"; },
         TrashedItemState::NotOurs},
        {"another inode", [](auto&, EntryIdentity& identity) { identity.inode += 1; },
         TrashedItemState::NotOurs},
        {"nothing there", [](auto& place, auto&) { fs::remove(place); }, TrashedItemState::Missing},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const std::string original = at("Library/q" + std::to_string(index++));
        write(original, "mine");
        Result<TrashSlot> slot = trash.reserve(original);
        ASSERT_TRUE(slot && trash.moveInto(*slot));
        std::string place = slot->trashed;
        EntryIdentity identity = slot->identity;
        ASSERT_FALSE(identity.deletionDate.empty());
        c.change(place, identity);
        EXPECT_EQ(trash.examine(place, original, identity), c.expected);
        const bool ours = c.expected == TrashedItemState::Ours;
        EXPECT_EQ(trash.putBack(place, original, identity, PutBackMode::KeepWhatIsThere),
                  ours                                      ? PutBackOutcome::Restored
                  : c.expected == TrashedItemState::Missing ? PutBackOutcome::Gone
                                                            : PutBackOutcome::NotOurs);
        EXPECT_EQ(present(original), ours);
        EXPECT_EQ(present(place), !ours && c.expected != TrashedItemState::Missing);
    }
}

// The journal lost an entry: its item is found by its info file, within the reset's time alone.
TEST_F(FreedesktopTrashTest, ItemsAreFoundByTheirInfoFileWithinATimeSpan) {
    const std::string first = at("Library/a.plist");
    const std::string second = at("Library/b.plist");
    write(first, "a");
    write(second, "b");
    const std::string firstPlace = trashed(first);
    const std::string secondPlace = trashed(second);
    write(infoFileOf(secondPlace), "[Trash Info]\nPath=" + percentEncodedPath(second) +
                                       "\nDeletionDate=2001-01-01T00:00:00\n");
    const std::int64_t now = std::time(nullptr);

    const std::vector<TrashSlot> found =
        trash.findTrashedFrom({first, second, at("Library/never.plist")}, {now - 5, now + 5});

    ASSERT_EQ(found.size(), 1u);
    EXPECT_EQ(found[0].original, first);
    EXPECT_EQ(found[0].trashed, firstPlace);
    EXPECT_EQ(trash.examine(found[0].trashed, first, found[0].identity), TrashedItemState::Ours);
    EXPECT_TRUE(trash.findTrashedFrom({first}, {now - 100, now - 50}).empty());
}

TEST_F(FreedesktopTrashTest, PutBackTakesOnlyTheVeryItemItMoved) {
    struct Case {
        const char* what;
        std::function<void(std::string& place, std::string& original)> change;
        PutBackMode mode;
        PutBackOutcome expected;
    };
    const auto keep = PutBackMode::KeepWhatIsThere;
    const Case cases[] = {
        {"untouched", [](auto&, auto&) {}, keep, PutBackOutcome::Restored},
        {"another item in its place",
         [](auto& place, auto&) {
             write(place + ".new", "foreign"); // made first, so it cannot reuse the inode
             fs::rename(place + ".new", place);
         },
         keep, PutBackOutcome::NotOurs},
        {"nothing in its place", [](auto& place, auto&) { fs::remove(place); }, keep,
         PutBackOutcome::Gone},
        {"info names another place",
         [](auto& place, auto&) { write(infoFileOf(place), "[Trash Info]\nPath=/elsewhere\n"); },
         keep, PutBackOutcome::NotOurs},
        {"item outside files",
         [&](auto& place, auto&) {
             fs::rename(place, at("outside"));
             place = at("outside");
         },
         keep, PutBackOutcome::Refused},
        {"relative original", [](auto&, auto& original) { original = "Library/p"; }, keep,
         PutBackOutcome::Refused},
        {"original taken", [](auto&, auto& original) { write(original, "new"); }, keep,
         PutBackOutcome::Occupied},
        {"original taken, may be replaced", [](auto&, auto& original) { write(original, "new"); },
         PutBackMode::ReplaceWhatIsThere, PutBackOutcome::Restored},
    };
    int index = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        std::string original = at("Library/p" + std::to_string(index++));
        write(original, "mine");
        const EntryIdentity identity = identityOf(original);
        std::string place = trashed(original);
        c.change(place, original);
        const std::string placeContent = contentOf(place);
        EXPECT_EQ(trash.putBack(place, original, identity, c.mode), c.expected);
        trash.settle();
        if (c.expected == PutBackOutcome::Restored) {
            EXPECT_EQ(contentOf(original), "mine");
            EXPECT_FALSE(present(place) || present(infoFileOf(place)));
        } else {
            EXPECT_EQ(contentOf(place), placeContent);
        }
        fs::remove(at("outside"));
    }
}

TEST_F(FreedesktopTrashTest, ReleaseAndFailedMovesDropOnlyTheirOwnUnusedInfoFile) {
    for (const char* name : {"unused", "moved", "renamed", "vanished"}) {
        write(at(name));
    }
    const Result<TrashSlot> unused = trash.reserve(at("unused"));
    const Result<TrashSlot> moved = trash.reserve(at("moved"));
    const Result<TrashSlot> renamed = trash.reserve(at("renamed"));
    const Result<TrashSlot> vanished = trash.reserve(at("vanished"));
    ASSERT_TRUE(unused && moved && renamed && vanished);
    ASSERT_TRUE(trash.moveInto(*moved));
    write(infoFileOf(renamed->trashed), "[Trash Info]\nPath=" + at("other") + "\n");
    fs::remove(at("vanished"));
    const Result<std::string> failed = trash.moveInto(*vanished);
    ASSERT_FALSE(failed);
    EXPECT_FALSE(failed.error().reason.empty());
    for (const Result<TrashSlot>* slot : {&unused, &moved, &renamed}) {
        trash.release(**slot);
    }
    EXPECT_FALSE(present(infoFileOf(unused->trashed)));
    EXPECT_FALSE(present(infoFileOf(vanished->trashed)));
    EXPECT_TRUE(present(infoFileOf(moved->trashed)));
    EXPECT_TRUE(present(infoFileOf(renamed->trashed)));
}

TEST_F(FreedesktopTrashTest, OrphanNotesOfTheGivenEntriesAreForgottenAndNoOthers) {
    for (const char* name : {"ours", "cut", "kept", "foreign", "later"}) {
        write(at(name));
    }
    // A reset killed after writing the note (or while writing it), before the move.
    const Result<TrashSlot> ours = trash.reserve(at("ours"));
    const Result<TrashSlot> cut = trash.reserve(at("cut"));
    const Result<TrashSlot> foreign = trash.reserve(at("foreign"));
    const Result<TrashSlot> later = trash.reserve(at("later"));
    ASSERT_TRUE(ours && cut && foreign && later);
    write(infoFileOf(cut->trashed), "");
    const std::string kept = trashed(at("kept"));
    const std::int64_t now = std::time(nullptr);
    const TimeSpan span{now - 5, now + 5};

    trash.forgetOrphans({{at("ours"), span},
                         {at("cut"), span},
                         {at("kept"), span},
                         {at("later"), {now - 100, now - 50}}});

    EXPECT_FALSE(present(infoFileOf(ours->trashed)));
    EXPECT_FALSE(present(infoFileOf(cut->trashed)));
    EXPECT_TRUE(present(infoFileOf(kept))) << "its item is still in the Trash";
    EXPECT_TRUE(present(infoFileOf(foreign->trashed))) << "not one of the given entries";
    EXPECT_TRUE(present(infoFileOf(later->trashed))) << "written after that reset";
}

TEST_F(FreedesktopTrashTest, AnInfoFileThatCannotBeWrittenWhollyIsRemoved) {
    write(at("Library/p"));
    ASSERT_TRUE(fs::create_directories(at(".local/share/Trash/info")));
    // Writes past this size fail (EFBIG) instead of filling a disk.
    rlimit previous{};
    getrlimit(RLIMIT_FSIZE, &previous);
    const auto previousHandler = signal(SIGXFSZ, SIG_IGN);
    rlimit tiny = previous;
    tiny.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &tiny);
    const Result<TrashSlot> slot = trash.reserve(at("Library/p"));
    setrlimit(RLIMIT_FSIZE, &previous);
    signal(SIGXFSZ, previousHandler);
    ASSERT_FALSE(slot);
    EXPECT_EQ(slot.error().code, EFBIG);
    EXPECT_TRUE(fs::is_empty(at(".local/share/Trash/info")));
    EXPECT_TRUE(present(at("Library/p")));
}

TEST_F(FreedesktopTrashTest, CopyBackWritesContentModeAndTimeOnlyToAFreePlace) {
    const std::string original = at("Library/p");
    write(original, "content");
    chmod(original.c_str(), 0640);
    const timespec times[2] = {{0, UTIME_OMIT}, {1234567890, 123456789}};
    utimensat(AT_FDCWD, original.c_str(), times, 0);
    const Result<TrashSlot> slot = trash.reserve(original);
    ASSERT_TRUE(slot && trash.moveInto(*slot));
    ASSERT_TRUE(trash.copyBack(*slot));
    struct stat copy {};
    ASSERT_EQ(stat(original.c_str(), &copy), 0);
    EXPECT_EQ(contentOf(original), "content");
    EXPECT_EQ(copy.st_mode & 07777, 0640u);
    EXPECT_EQ(copy.st_mtim.tv_sec, 1234567890);
    EXPECT_EQ(copy.st_mtim.tv_nsec, 123456789);
    write(original, "changed");
    EXPECT_FALSE(trash.copyBack(*slot));
    EXPECT_EQ(contentOf(original), "changed");
    EXPECT_EQ(contentOf(slot->trashed), "content");
}

TEST(FreedesktopTrashRefusal, UnsafeHomeTrashFoldersAreRefusedWithAReason) {
    const std::pair<std::function<void(const std::string&, const std::string&)>, std::string>
        cases[] = {
            {[](const auto& trash, const auto& elsewhere) {
                 fs::create_directories(trash + "/info");
                 fs::create_directory_symlink(elsewhere, trash + "/files");
             },
             "is a symbolic link"},
            {[](const auto& trash, const auto& elsewhere) {
                 fs::create_directories(fs::path(trash).parent_path());
                 fs::create_directory_symlink(elsewhere, trash);
             },
             "is a symbolic link"},
            {[](const auto& trash, const auto&) { write(trash + "/info"); }, "is not a folder"},
        };
    for (const auto& [spoil, reason] : cases) {
        SCOPED_TRACE(reason);
        TempHome home;
        home.file("Library/p");
        home.folder("elsewhere");
        spoil(home.path() + "/.local/share/Trash", home.path() + "/elsewhere");
        FreedesktopTrash trash(home.path() + "/.local/share");
        const std::optional<std::string> refusal = trash.unavailableReason(home.library() + "/p");
        ASSERT_TRUE(refusal);
        EXPECT_NE(refusal->find(reason), std::string::npos) << *refusal;
        EXPECT_FALSE(trash.reserve(home.library() + "/p"));
        EXPECT_TRUE(home.exists("Library/p"));
        EXPECT_TRUE(fs::is_empty(home.path() + "/elsewhere"));
    }
}

TEST(FreedesktopTrashRefusal, UnwritableHomeTrashIsRefusedWithAReason) {
    TempHome home;
    home.file("Library/p");
    home.folder(".local/share/Trash/info");
    home.folder(".local/share/Trash/files");
    const std::string dataHome = home.path() + "/.local/share";
    const auto refused = [&] {
        const auto reason = FreedesktopTrash(dataHome).unavailableReason(home.library() + "/p");
        return reason && reason->find("Trash/files is not writable") != std::string::npos;
    };
    chmod((dataHome + "/Trash/files").c_str(), 0500);
    if (geteuid() != 0) {
        EXPECT_TRUE(refused());
        return;
    }
    // Permissions do not bind root, so the check runs as nobody, owning the home.
    constexpr uid_t nobody = 65534;
    lchown(home.path().c_str(), nobody, nobody);
    for (const auto& entry : fs::recursive_directory_iterator(home.path())) {
        lchown(entry.path().c_str(), nobody, nobody);
    }
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(nobody) == 0 &&
                             setuid(nobody) == 0 && geteuid() == nobody;
        _exit(!dropped ? 2 : refused() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 2) {
        GTEST_SKIP() << "cannot become nobody (uid 65534) here";
    }
    EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(FreedesktopTrashOtherFileSystem, EntryGoesToThatFileSystemsTrashByRename) {
    struct stat shm {};
    struct stat tmp {};
    if (stat("/dev/shm", &shm) != 0 || stat("/tmp", &tmp) != 0 || shm.st_dev == tmp.st_dev) {
        GTEST_SKIP() << "/dev/shm is not a file system of its own here";
    }
    TempHome home;
    std::string folder = "/dev/shm/corvane-trash-XXXXXX";
    ASSERT_TRUE(mkdtemp(folder.data()));
    const std::string uid = std::to_string(getuid());
    struct stat shared {};
    const bool sharedTrash = lstat("/dev/shm/.Trash", &shared) == 0 && S_ISDIR(shared.st_mode) &&
                             (shared.st_mode & S_ISVTX);
    const std::string root = sharedTrash ? "/dev/shm/.Trash/" + uid : "/dev/shm/.Trash-" + uid;
    const bool hadRoot = present(root);
    const Cleanup cleanup{[&] {
        fs::remove_all(folder);
        if (!hadRoot) {
            fs::remove_all(root);
        }
    }};
    const std::string entry = folder + "/Preferences.plist";
    write(entry);
    FreedesktopTrash trash(home.path() + "/.local/share");
    const std::optional<std::string> refusal = trash.unavailableReason(entry);
    EXPECT_EQ(present(root), hadRoot) << "the look ahead made a Trash folder";
    if (refusal) {
        // Only a Trash folder someone else left, or a top it cannot be made in, excuses this.
        EXPECT_TRUE(hadRoot || access("/dev/shm", W_OK | X_OK) != 0) << *refusal;
        EXPECT_FALSE(trash.reserve(entry));
        EXPECT_TRUE(present(entry));
        return;
    }
    const EntryIdentity identity = identityOf(entry);
    const Result<TrashSlot> slot = trash.reserve(entry);
    ASSERT_TRUE(slot) << slot.error().reason;
    const Result<std::string> moved = trash.moveInto(*slot);
    ASSERT_TRUE(moved) << moved.error().reason;
    EXPECT_EQ(moved->rfind(root + "/files/", 0), 0u) << *moved;
    EXPECT_EQ(identityOf(*moved), identity) << "copied, not renamed";
    EXPECT_EQ(recordedPath(*moved),
              folder.substr(std::string("/dev/shm/").size()) + "/Preferences.plist");
    EXPECT_FALSE(home.exists(".local/share/Trash"));
    EXPECT_EQ(trash.putBack(*moved, entry, identity, PutBackMode::KeepWhatIsThere),
              PutBackOutcome::Restored);
    if (hadRoot || sharedTrash) {
        return;
    }
    // A Trash folder of this user that others could enter, or a symlink, must not be used.
    for (const auto& [spoil, reason] :
         std::initializer_list<std::pair<std::function<void()>, std::string>>{
             {[&] { chmod(root.c_str(), 0755); }, "is not private to this user"},
             {[&] {
                  fs::remove_all(root);
                  fs::create_directory_symlink(folder, root);
              },
              "is a symbolic link"}}) {
        spoil();
        const std::optional<std::string> unsafe =
            FreedesktopTrash(home.path()).unavailableReason(entry);
        ASSERT_TRUE(unsafe);
        EXPECT_NE(unsafe->find(reason), std::string::npos) << *unsafe;
    }
}

TEST(FreedesktopTrashLocate, DataHomeIsAnAbsoluteXdgDataHomeElseUnderHome) {
    TempHome home;
    home.file("Library/p");
    const std::string xdg = home.path() + "/xdg";
    const std::string local = home.path() + "/.local/share";
    const struct {
        std::optional<std::string> xdgDataHome;
        std::optional<std::string> homeVariable;
        std::optional<std::string> dataHome;
    } cases[] = {
        {xdg, home.path(), xdg},
        {"relative/share", home.path() + "/", local},
        {std::nullopt, home.path(), local},
        {std::nullopt, "relative", std::nullopt},
        {std::nullopt, std::nullopt, std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.xdgDataHome.value_or("(unset)") + " " + c.homeVariable.value_or("(unset)"));
        for (const auto& [name, value] :
             {std::pair{"XDG_DATA_HOME", c.xdgDataHome}, std::pair{"HOME", c.homeVariable}}) {
            value ? setenv(name, value->c_str(), 1) : unsetenv(name);
        }
        std::optional<FreedesktopTrash> trash = FreedesktopTrash::locate();
        ASSERT_EQ(trash.has_value(), c.dataHome.has_value());
        if (trash) {
            const Result<TrashSlot> slot = trash->reserve(home.library() + "/p");
            ASSERT_TRUE(slot);
            EXPECT_EQ(slot->trashed, *c.dataHome + "/Trash/files/p");
            trash->release(*slot);
        }
    }
}

} // namespace
} // namespace corvane::testing
