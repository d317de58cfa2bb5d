#include "core/fix/Confinement.h"
#include "core/fix/Restore.h"
#include "ports/FileSystem.h"
#include "support/RecordingTrash.h"

#include <gtest/gtest.h>
#include <map>
#include <string>

namespace corvane::testing {
namespace {

// Entries known by their stamps alone, for a plan that only asks what lies where.
class StampedFileSystem : public FileSystem {
public:
    std::map<std::string, EntryStamp> entries;

    std::optional<std::string> homeDirectory() const override { return "/home/u"; }
    bool fileExists(const std::string& path) const override { return entryExists(path); }
    bool entryExists(const std::string& path) const override {
        return path == kFolder || entries.contains(path);
    }
    std::optional<EntryStamp> stamp(const std::string& path) const override {
        const auto found = entries.find(path);
        return found == entries.end() ? std::nullopt : std::optional(found->second);
    }
    std::optional<std::string> resolvedPath(const std::string& path) const override { return path; }
    WalkResult walk(const std::string&,
                    const std::function<bool(const std::string&)>&) const override {
        return WalkResult::Missing;
    }

    static constexpr const char* kFolder = "/home/u/Library/Preferences";
};

// A record longer than the plan takes at a time: each entry is judged by its own item in the
// Trash and its own place, wherever the batches begin.
TEST(RestorePlan, EachOfManyEntriesIsJudgedByItsOwnItemAndPlace) {
    StampedFileSystem fs;
    ResetRecord record;
    constexpr std::size_t kEntries = 9000;
    std::vector<std::size_t> comeBack;
    std::vector<std::string> replaced;
    for (std::size_t i = 0; i < kEntries; ++i) {
        const std::string original =
            std::string(StampedFileSystem::kFolder) + "/e" + std::to_string(i);
        const std::string trashed = "/home/u/.local/share/Trash/files/e" + std::to_string(i);
        const EntryStamp item{1, 100 + i, 10, 1'000'000'000};
        record.moved.push_back({original,
                                trashed,
                                {1, item.inode, item.size, item.modifiedNanoseconds, "d"},
                                std::nullopt});
        // Gone from the Trash, another item there, or written again at its place since.
        if (i % 997 == 5) {
            continue;
        }
        const bool ours = i % 991 != 7;
        fs.entries[trashed] = ours ? item : EntryStamp{1, 99, 10, 1'000'000'000};
        if (i % 983 == 3) {
            fs.entries[original] = EntryStamp{1, 5, 1, 1};
        }
        if (ours) {
            comeBack.push_back(i);
            if (i % 983 == 3) {
                replaced.push_back(original);
            }
        }
    }
    RecordingTrash trash("/nowhere");
    const RestorePlan plan =
        planRestore(record, trash, fs, Confinement({"/home/u/Library"}), nullptr);
    EXPECT_EQ(plan.comeBack, comeBack);
    EXPECT_EQ(plan.replaced, replaced);
}

} // namespace
} // namespace corvane::testing
