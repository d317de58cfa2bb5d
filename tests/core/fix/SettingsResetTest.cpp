#include "core/fix/ResetRecord.h"
#include "core/fix/ResetTransaction.h"
#include "support/EnvironmentFileSystem.h"
#include "support/InertPorts.h"
#include "support/MemorySettingsDatabase.h"
#include "support/RecordingTrash.h"
#include "support/TempHome.h"

#include <functional>
#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

const SettingsFolder kFolder{"/org/example/App/", {}};
const SettingsValues kKeys = {{"/org/example/App/a", "1"}, {"/org/example/App/b/c", "'x'"}};

// The memory database with another client's write or a failure at chosen calls.
class Disturbed final : public MemorySettingsDatabase {
public:
    // Another client's write lands right after the read numbered `dumps`.
    Result<SettingsValues> dump(const SettingsFolder& folder) override {
        Result<SettingsValues> read = MemorySettingsDatabase::dump(folder);
        ++dumps;
        if (onDump) {
            onDump(dumps, keys);
        }
        return read;
    }
    // A reset checks that the record on the disk holds the keys already: a run killed by the
    // reset must not lose them.
    Status replace(const SettingsFolder& folder, const SettingsValues& values) override {
        LatestRecord latest = ResetRecords(records).latest();
        const auto* record = std::get_if<ResetRecord>(&latest);
        recordedFirst =
            record && !record->settings.empty() &&
            record->settings.back() == SettingsDump{folder, *MemorySettingsDatabase::dump(folder)};
        if (failReplace) {
            return Error{"the service refused the change"};
        }
        return MemorySettingsDatabase::replace(folder, values);
    }
    std::function<void(int, SettingsValues&)> onDump;
    bool failReplace = false;
    int dumps = 0;
    std::string records;
    bool recordedFirst = false;
};

// What becomes of a folder whose keys change while it is reset, or whose reset cannot be
// recorded or done: it is reset only with the keys it held last in the record, and otherwise
// stays as it is, named with its reason, with no dump left in the record.
TEST(SettingsReset, AFolderIsResetOnlyWithItsLastKeysInTheRecord) {
    struct Case {
        const char* what;
        std::function<void(int, SettingsValues&)> onDump;
        bool failReplace;
        bool withTrash;
        bool reset;
        SettingsValues recorded;
    };
    SettingsValues withLate = kKeys;
    withLate["/org/example/App/late"] = "true";
    const Case cases[] = {
        {"undisturbed", {}, false, true, true, kKeys},
        {"a key written between the first two dumps",
         [](int dump, SettingsValues& keys) {
             if (dump == 1) {
                 keys["/org/example/App/late"] = "true";
             }
         },
         false, true, true, withLate},
        {"a key written while the dump went to the disk",
         [](int dump, SettingsValues& keys) {
             if (dump == 2) {
                 keys["/org/example/App/late"] = "true";
             }
         },
         false, true, true, withLate},
        {"written at every dump",
         [](int dump, SettingsValues& keys) { keys["/org/example/App/n"] = std::to_string(dump); },
         false,
         true,
         false,
         {}},
        {"the reset refused after the dump was recorded", {}, true, true, false, {}},
        {"no Trash, so no record", {}, false, false, false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TempHome home;
        EnvironmentFileSystem fs;
        RecordingTrash trash(home.path() + "/.test-trash");
        Disturbed database;
        database.keys = kKeys;
        database.onDump = c.onDump;
        database.failReplace = c.failReplace;
        database.records = ResetRecords::folderIn(home.library());
        ResetPlan plan;
        plan.identifier = "org.example.App";
        plan.applicationName = "App";
        plan.clearsDomain = false;
        plan.settings = {kFolder};
        InertPorts doubles;
        doubles.fileSystem = &fs;
        doubles.trash = c.withTrash ? &trash : nullptr;
        doubles.settingsDatabase = &database;
        Result<ResetTransaction> transaction = ResetTransaction::begin(plan, doubles.ports());
        ASSERT_TRUE(transaction.ok());
        const ResetOutcome outcome = transaction->apply(false);

        EXPECT_EQ(outcome.settingsReset.size(), c.reset ? 1u : 0u);
        EXPECT_EQ(outcome.leftovers.size(), c.reset ? 0u : 1u);
        EXPECT_EQ(outcome.reasons.size(), c.reset ? 0u : 1u);
        EXPECT_EQ(outcome.ending, c.reset ? ResetEnding::Done : ResetEnding::Partial);
        EXPECT_EQ(database.keys.empty(), c.reset);
        EXPECT_TRUE(c.reset || database.keys.contains("/org/example/App/a"));
        LatestRecord latest = ResetRecords(ResetRecords::folderIn(home.library())).latest();
        const auto* record = std::get_if<ResetRecord>(&latest);
        ASSERT_EQ(record != nullptr, c.reset);
        if (record) {
            // What was there when the reset happened, a late key included.
            EXPECT_EQ(record->settings, (std::vector<SettingsDump>{{kFolder, c.recorded}}));
            EXPECT_TRUE(database.recordedFirst);
        }
    }
}

} // namespace
} // namespace corvane::testing
