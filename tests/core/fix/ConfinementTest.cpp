#include "core/fix/Confinement.h"

#include "core/UserFolders.h"
#include "core/analysis/Kinds.h"
#include "core/fix/LibraryRemover.h"
#include "core/fix/Restore.h"
#include "support/EnvironmentFileSystem.h"
#include "support/RecordingTrash.h"
#include "support/Records.h"
#include "support/TempHome.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <map>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

// For the root of every kind: an entry inside it is taken by the reset and put back by Restore;
// once the root is swapped for a link that leads out of the home, the same entry is neither.
TEST(Confinement, EveryKindsRootTakesItsEntriesAndNoLinkLeadsOut) {
    for (const bool movedBase : {false, true}) {
        for (const KindRow& row : kindTable()) {
            if (row.root.empty()) {
                continue; // its entries are no files
            }
            SCOPED_TRACE(std::string(row.id) + (movedBase ? " with the base folders moved" : ""));
            TempHome home;
            const std::string canonicalHome = fs::canonical(home.path()).string();
            EnvironmentFileSystem fileSystem;
            if (movedBase) {
                fileSystem.values = {{"XDG_CONFIG_HOME", canonicalHome + "/etc/config"},
                                     {"XDG_STATE_HOME", canonicalHome + "/etc/state"},
                                     {"XDG_CACHE_HOME", canonicalHome + "/etc/cache"}};
            }
            const std::string root = kindRootFolder(row, fileSystem, canonicalHome);
            ASSERT_TRUE(root.starts_with(canonicalHome + "/")) << root;
            const std::string entry = root + "/org.example.App/settings.ini";
            fs::create_directories(fs::path(entry).parent_path());
            std::ofstream(entry) << "kept";

            const UserFolders folders{canonicalHome, canonicalHome + "/Library"};
            const Confinement confinement = Confinement::ofHome(fileSystem, folders);
            ASSERT_NE(confinement.rootOf(entry), nullptr) << confinement.listed();
            RecordingTrash trash(canonicalHome + "/.test-trash");
            LibraryRemover remover(fileSystem, folders.library, folders.home, {}, nullptr, &trash);
            EXPECT_EQ(remover.targetOf(entry), entry);

            ResetRecord record;
            record.moved = {trashEntry(trash, entry)};
            const RestoreResult restored = restoreRecord(record, trash, fileSystem, confinement);
            EXPECT_EQ(restored.restored, std::vector<std::string>{entry});
            EXPECT_EQ(contentOf(entry), "kept");

            // The root now leads to a folder outside the home that holds the same names.
            const std::string outside = canonicalHome + ".outside";
            fs::create_directories(outside);
            fs::rename(root, outside + "/root");
            fs::create_directory_symlink(outside + "/root", root);
            record.moved = {trashEntry(trash, outside + "/root/org.example.App/settings.ini")};
            record.moved[0].original = entry;
            const Confinement swapped = Confinement::ofHome(fileSystem, folders);
            EXPECT_EQ(LibraryRemover(fileSystem, folders.library, folders.home, {}, nullptr, &trash)
                          .targetOf(entry),
                      std::nullopt);
            const RestoreResult refused = restoreRecord(record, trash, fileSystem, swapped);
            EXPECT_TRUE(refused.restored.empty());
            EXPECT_EQ(refused.refused.size(), 1u);
            EXPECT_FALSE(fs::exists(outside + "/root/org.example.App/settings.ini"));
            fs::remove_all(outside);
        }
    }
}

TEST(Confinement, AFolderOutsideEveryRootIsRefused) {
    TempHome home;
    const std::string canonicalHome = fs::canonical(home.path()).string();
    EnvironmentFileSystem fileSystem;
    const Confinement confinement =
        Confinement::ofHome(fileSystem, UserFolders{canonicalHome, canonicalHome + "/Library"});
    for (const std::string& path :
         {canonicalHome + "/Documents/letter.odt", canonicalHome + "/.local/share/app/drafts",
          canonicalHome + "/.var/app", canonicalHome + "/.config", canonicalHome + "/Library",
          canonicalHome + "/.var/application/x", std::string("/etc/passwd")}) {
        EXPECT_EQ(confinement.rootOf(path), nullptr) << path;
    }
}

} // namespace
} // namespace corvane::testing
