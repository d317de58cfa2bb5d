#include "host/linux/ProcSessionProcesses.h"

#include "DconfSession.h"
#include "core/linuxapps/RunningInstances.h"

#include <algorithm>
#include <filesystem>
#include <gtest/gtest.h>
#include <unistd.h>

namespace corvane::testing {
namespace {

namespace fs = std::filesystem;

const char* const kScope = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                           "app-gnome-org.gnome.TextEditor-4242.scope\n";
const char* const kFlatpakScope = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                  "app-flatpak-org.gnome.TextEditor-3215498.scope\n";
const char* const kOther = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                           "app-gnome-org.gnome.TextEditorPlus-77.scope\n";

TEST(ProcSessionProcesses, ProcessesInTheApplicationsScopesAndItsFlatpakInstances) {
    const std::string root = temporaryFolder("session");
    writeFile(root + "/proc/4242/cgroup", kScope);
    writeFile(root + "/proc/5000/cgroup", kFlatpakScope);
    writeFile(root + "/proc/77/cgroup", kOther);
    writeFile(root + "/proc/self/cgroup", kScope);
    writeFile(root + "/proc/12x/cgroup", kScope);
    fs::create_directories(root + "/proc/900"); // ended while being read
    writeFile(root + "/run/.flatpak/3215498/info",
              "[Application]\nname=org.gnome.TextEditor\n\n[Instance]\ninstance-id=3215498\n");
    writeFile(root + "/run/.flatpak/3215498/pid", "5001\n");
    writeFile(root + "/run/.flatpak/99/info", "[Application]\nname=org.gnome.Other\n");
    writeFile(root + "/user/app/org.gnome.TextEditor/current/active/metadata",
              "[Application]\nname=org.gnome.TextEditor\n");
    writeFile(root + "/system/app/org.gnome.TextEditor/current/active/metadata",
              "[Application]\nname=org.gnome.TextEditor\n\n[X-DConf]\n"
              "migrate-path=/org/gnome/TextEditor/\n");

    const ProcSessionProcesses session(root + "/proc", root + "/run",
                                       {root + "/user", root + "/system"});
    const Result<RunningInstances> editor = runningInstances(session, "org.gnome.TextEditor");
    ASSERT_TRUE(editor.ok()) << editor.error().reason;
    EXPECT_EQ(editor->pids, (std::vector<pid_t>{4242, 5000, 5001}));
    EXPECT_TRUE(editor->flatpakInstance);

    const Result<RunningInstances> shorter = runningInstances(session, "org.gnome.Text");
    ASSERT_TRUE(shorter.ok());
    EXPECT_FALSE(shorter->running());

    EXPECT_EQ(flatpakDconfMigratePath(session, "org.gnome.TextEditor"), "/org/gnome/TextEditor/");
    EXPECT_EQ(flatpakDconfMigratePath(session, "org.gnome.Other"), std::nullopt);
    EXPECT_TRUE(session.flatpakMetadata("../system/app/org.gnome.TextEditor").empty());

    const ProcSessionProcesses unreadable(root + "/missing", root + "/run", {});
    EXPECT_FALSE(unreadable.userProcessCgroups().ok());
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

TEST(ProcSessionProcesses, TheRealProcessTableHoldsThisProcess) {
    const Result<std::vector<ProcessCgroup>> processes =
        ProcSessionProcesses().userProcessCgroups();
    ASSERT_TRUE(processes.ok()) << processes.error().reason;
    EXPECT_TRUE(std::any_of(processes->begin(), processes->end(), [](const ProcessCgroup& p) {
        return p.pid == getpid() && !p.cgroupText.empty();
    }));
}

} // namespace
} // namespace corvane::testing
