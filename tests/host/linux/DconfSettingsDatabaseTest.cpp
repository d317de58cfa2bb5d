#include "host/linux/DconfSettingsDatabase.h"

#include "DconfSession.h"
#include "core/linuxapps/SettingsSnapshot.h"
#include "host/posix/ChildProcess.h"

#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

::testing::AssertionResult done(const Status& status) {
    if (status.ok()) {
        return ::testing::AssertionSuccess();
    }
    return ::testing::AssertionFailure() << status.error().reason;
}

// Values of every shape a settings key can hold, text that needs escaping included.
const SettingsValues kOddValues = {
    {"/corvane/rt/string", "'it\\'s \"quoted\"\\nand on two lines'"},
    {"/corvane/rt/strings", "['a', 'b c', '']"},
    {"/corvane/rt/empty", "@as []"},
    {"/corvane/rt/tuple", "(1, 'x', true, 2.5)"},
    {"/corvane/rt/unsigned", "uint32 7"},
    {"/corvane/rt/byte", "byte 0xff"},
    {"/corvane/rt/variant", "<<'inner'>>"},
    {"/corvane/rt/dict", "{'size': <(800, 600)>, 'name': <'x'>}"},
    {"/corvane/rt/sub/key", "int64 -9"},
    {"/corvane/rt/sub/deeper/maybe", "@mi nothing"},
    {"/corvane/rt/sub/deeper/bytes", "b'raw\\x01'"},
};

// What the dconf tool reads for the key, in the same typed text.
std::string dconfRead(const std::string& key) {
    const ChildResult result =
        runChildProcess("/usr/bin/dconf", {"read", key}, {std::chrono::seconds(10), std::nullopt});
    std::string out = result.output;
    while (!out.empty() && out.back() == '\n') {
        out.pop_back();
    }
    return out;
}

// The number of keys the dconf tool dumps under the folder.
int dconfDumpedKeys(const std::string& folder) {
    const ChildResult result = runChildProcess("/usr/bin/dconf", {"dump", folder},
                                               {std::chrono::seconds(10), std::nullopt});
    int keys = 0;
    std::size_t start = 0;
    while (start < result.output.size()) {
        const std::size_t end = result.output.find('\n', start);
        const std::string line = result.output.substr(start, end - start);
        keys += !line.empty() && line.front() != '[' ? 1 : 0;
        start = end == std::string::npos ? result.output.size() : end + 1;
    }
    return keys;
}

TEST(DconfSettings, DumpResetRestoreRoundTripsEveryValueExactly) {
    DconfSettingsDatabase database;
    // The check made ahead is the one the first call waits for.
    database.reachAhead();
    const SettingsFolder folder{"/corvane/rt/", {}};
    ASSERT_TRUE(done(database.replace(folder, kOddValues)));

    const Result<SettingsValues> dumped = database.dump(folder);
    ASSERT_TRUE(dumped.ok()) << dumped.error().reason;
    ASSERT_EQ(dumped->size(), kOddValues.size());
    for (const auto& [key, text] : *dumped) {
        EXPECT_EQ(dconfRead(key), text) << key;
    }

    const Result<SettingsValues> recorded = dumpThenReset(database, folder);
    ASSERT_TRUE(recorded.ok()) << recorded.error().reason;
    EXPECT_EQ(*recorded, *dumped);
    EXPECT_EQ(dconfDumpedKeys(folder.path), 0);

    // Written after the reset: a key of its own, which the restore removes, and one of the
    // record's values again, which it must keep.
    ASSERT_TRUE(
        done(database.replace({"/corvane/rt/sub/", {}}, {{"/corvane/rt/sub/new", "true"},
                                                         {"/corvane/rt/sub/key", "int64 -9"}})));
    ASSERT_TRUE(done(restoreSettings(database, folder, *recorded)));
    const Result<SettingsValues> again = database.dump(folder);
    ASSERT_TRUE(again.ok());
    EXPECT_EQ(*again, *dumped);
    EXPECT_EQ(dconfDumpedKeys(folder.path), static_cast<int>(kOddValues.size()));
}

TEST(DconfSettings, ExcludedSubfoldersAreNeitherDumpedNorReset) {
    DconfSettingsDatabase database;
    ASSERT_TRUE(
        done(database.replace({"/corvane/ex/", {}}, {{"/corvane/ex/own", "1"},
                                                     {"/corvane/ex/sub/own", "2"},
                                                     {"/corvane/ex/Devel/theirs", "3"},
                                                     {"/corvane/ex/sub/Other/theirs", "4"}})));
    const SettingsFolder folder{"/corvane/ex/", {"/corvane/ex/Devel/", "/corvane/ex/sub/Other/"}};
    const Result<SettingsValues> recorded = dumpThenReset(database, folder);
    ASSERT_TRUE(recorded.ok()) << recorded.error().reason;
    EXPECT_EQ(*recorded, (SettingsValues{{"/corvane/ex/own", "1"}, {"/corvane/ex/sub/own", "2"}}));
    EXPECT_EQ(dconfRead("/corvane/ex/own"), "");
    EXPECT_EQ(dconfRead("/corvane/ex/Devel/theirs"), "3");
    EXPECT_EQ(dconfRead("/corvane/ex/sub/Other/theirs"), "4");

    ASSERT_TRUE(done(restoreSettings(database, folder, *recorded)));
    EXPECT_EQ(dconfRead("/corvane/ex/sub/own"), "2");
    EXPECT_EQ(dconfRead("/corvane/ex/Devel/theirs"), "3");
}

TEST(DconfSettings, ARecordThatReachesOutsideItsFolderChangesNothing) {
    DconfSettingsDatabase database;
    ASSERT_TRUE(done(database.replace({"/corvane/in/", {}}, {{"/corvane/in/kept", "1"}})));
    ASSERT_TRUE(done(database.replace({"/corvane/out/", {}}, {{"/corvane/out/kept", "1"}})));
    const SettingsFolder folder{"/corvane/in/", {"/corvane/in/Other/"}};
    const SettingsValues bad[] = {
        {{"/corvane/out/kept", "2"}},
        {{"/corvane/in/Other/key", "2"}},
        {{"/corvane/in/dir/", "2"}},
        {{"/corvane/in/kept", "not a value ("}},
    };
    for (const SettingsValues& values : bad) {
        EXPECT_FALSE(database.replace(folder, values).ok()) << values.begin()->first;
    }
    EXPECT_FALSE(database.dump({"no-slash", {}}).ok());
    EXPECT_EQ(dconfRead("/corvane/in/kept"), "1");
    EXPECT_EQ(dconfRead("/corvane/out/kept"), "1");
}

// The real database, with another client's write landing right after chosen dumps.
class WriteAfterDumps final : public SettingsDatabase {
public:
    WriteAfterDumps(SettingsDatabase& inner, int writes) : m_inner(inner), m_writes(writes) {}

    Result<SettingsValues> dump(const SettingsFolder& folder) override {
        Result<SettingsValues> values = m_inner.dump(folder);
        if (m_writes > 0) {
            --m_writes;
            ++m_written;
            EXPECT_TRUE(
                done(m_other.replace({folder.path + "late/", {}}, lateValues(folder, m_written))));
        }
        return values;
    }
    Result<std::vector<std::string>> lockedKeys(const SettingsFolder& folder) override {
        return m_inner.lockedKeys(folder);
    }
    Status replace(const SettingsFolder& folder, const SettingsValues& values) override {
        return m_inner.replace(folder, values);
    }

    static SettingsValues lateValues(const SettingsFolder& folder, int count) {
        SettingsValues values;
        for (int i = 1; i <= count; ++i) {
            values[folder.path + "late/k" + std::to_string(i)] = std::to_string(i);
        }
        return values;
    }

private:
    SettingsDatabase& m_inner;
    DconfSettingsDatabase m_other;
    int m_writes;
    int m_written = 0;
};

TEST(DconfSettings, AWriteBetweenDumpAndResetIsDumpedAgain) {
    DconfSettingsDatabase database;
    const SettingsFolder folder{"/corvane/race/", {}};
    ASSERT_TRUE(done(database.replace(folder, {{"/corvane/race/before", "'x'"}})));
    WriteAfterDumps racing(database, 1);
    const Result<SettingsValues> recorded = dumpThenReset(racing, folder);
    ASSERT_TRUE(recorded.ok()) << recorded.error().reason;
    EXPECT_EQ(*recorded,
              (SettingsValues{{"/corvane/race/before", "'x'"}, {"/corvane/race/late/k1", "1"}}));
    EXPECT_EQ(dconfDumpedKeys(folder.path), 0);
}

TEST(DconfSettings, AFolderThatKeepsChangingIsLeftAsItIs) {
    DconfSettingsDatabase database;
    const SettingsFolder folder{"/corvane/busy/", {}};
    ASSERT_TRUE(done(database.replace(folder, {{"/corvane/busy/before", "'x'"}})));
    WriteAfterDumps racing(database, 100);
    const Result<SettingsValues> recorded = dumpThenReset(racing, folder, 3);
    ASSERT_FALSE(recorded.ok());
    EXPECT_EQ(dconfRead("/corvane/busy/before"), "'x'");
    EXPECT_EQ(dconfDumpedKeys(folder.path), 4);
}

TEST(DconfSettings, LockedKeysAreListedAndNeverForced) {
    DconfSettingsDatabase database;
    const Result<std::vector<std::string>> locks = database.lockedKeys({"/corvane/locks/", {}});
    ASSERT_TRUE(locks.ok()) << locks.error().reason;
    EXPECT_EQ(*locks, std::vector<std::string>{"/corvane/locks/locked"});
    const Result<std::vector<std::string>> none = database.lockedKeys({"/corvane/rt/", {}});
    ASSERT_TRUE(none.ok());
    EXPECT_TRUE(none->empty());

    // A folder with a locked key resets and restores the user's own keys around it.
    const SettingsFolder folder{"/corvane/locks/", {}};
    const SettingsValues own = {{"/corvane/locks/own", "'mine'"}};
    ASSERT_TRUE(done(database.replace(folder, own)));
    const Result<SettingsValues> recorded = dumpThenReset(database, folder);
    ASSERT_TRUE(recorded.ok()) << recorded.error().reason;
    EXPECT_EQ(*recorded, own);
    EXPECT_TRUE(done(restoreSettings(database, folder, own)));
    EXPECT_EQ(dconfRead("/corvane/locks/own"), "'mine'");

    // A record that holds a value for the locked key brings the rest back and names that key.
    SettingsValues withLocked = own;
    withLocked["/corvane/locks/locked"] = "5";
    ASSERT_TRUE(done(database.replace(folder, {})));
    const Status restored = restoreSettings(database, folder, withLocked);
    ASSERT_FALSE(restored.ok());
    EXPECT_NE(restored.error().reason.find("/corvane/locks/locked"), std::string::npos);
    EXPECT_EQ(restored.error().reason.find("/corvane/locks/own"), std::string::npos);
    EXPECT_EQ(dconfRead("/corvane/locks/own"), "'mine'");
}

// Points the session bus address somewhere else for the life of the object.
class BusAddress {
public:
    explicit BusAddress(const std::string& address) {
        m_previous = std::getenv("DBUS_SESSION_BUS_ADDRESS");
        setenv("DBUS_SESSION_BUS_ADDRESS", address.c_str(), 1);
    }
    ~BusAddress() { setenv("DBUS_SESSION_BUS_ADDRESS", m_previous.c_str(), 1); }

private:
    std::string m_previous;
};

// Removes the folder when the test is done, after everything that used it.
struct RemovedAtEnd {
    std::string path;
    ~RemovedAtEnd() {
        std::error_code ignored;
        std::filesystem::remove_all(path, ignored);
    }
};

TEST(DconfSettings, NoBusOrNoServiceIsAnErrorWithAReason) {
    const RemovedAtEnd folderRemoved{temporaryFolder("nodconf")};
    const std::string& folder = folderRemoved.path;
    const PrivateSessionBus withoutDconf(folder, false);
    ASSERT_TRUE(withoutDconf.started());

    const std::string silentPath = folder + "/silent";
    const SilentSocket silent(silentPath);
    ASSERT_TRUE(silent.listening());

    const std::string addresses[] = {
        "unix:path=" + folder + "/nothing-here",
        "not an address",
        withoutDconf.address(),
        "unix:path=" + silentPath,
    };
    for (const std::string& bus : addresses) {
        for (const bool ahead : {false, true}) {
            const BusAddress pointed(bus);
            DconfSettingsDatabase database(std::chrono::milliseconds(500));
            if (ahead) {
                database.reachAhead();
            }
            const Result<SettingsValues> dumped = database.dump({"/corvane/rt/", {}});
            ASSERT_FALSE(dumped.ok()) << bus << ahead;
            EXPECT_FALSE(dumped.error().reason.empty());
            EXPECT_FALSE(database.replace({"/corvane/rt/", {}}, {}).ok()) << bus;
        }
    }
}

} // namespace
} // namespace corvane::testing
