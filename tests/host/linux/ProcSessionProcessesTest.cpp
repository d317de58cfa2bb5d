#include "host/linux/ProcSessionProcesses.h"

#include "DconfSession.h"
#include "core/linuxapps/RunningInstances.h"

#include <algorithm>
#include <climits>
#include <csignal>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <gtest/gtest.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

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

TEST(ProcSessionProcesses, TheRealProcessTableHoldsThisProcessAndItsProgramFile) {
    const Result<std::vector<ProcessCgroup>> processes =
        ProcSessionProcesses().userProcessCgroups();
    ASSERT_TRUE(processes.ok()) << processes.error().reason;
    const auto self = std::find_if(processes->begin(), processes->end(),
                                   [](const ProcessCgroup& p) { return p.pid == getpid(); });
    ASSERT_NE(self, processes->end());
    EXPECT_FALSE(self->cgroupText.empty());
    EXPECT_EQ(self->executable, fs::canonical("/proc/self/exe").string());
    EXPECT_TRUE(self->thisProgram);
    EXPECT_EQ(std::count_if(processes->begin(), processes->end(),
                            [](const ProcessCgroup& p) { return p.thisProgram; }),
              1);
}

TEST(ProcSessionProcesses, AFlatpakInstanceRunsWhileItsReferenceIsLocked) {
    const std::string root = temporaryFolder("instances");
    const std::string info = "[Application]\nname=org.gnome.TextEditor\n";
    const std::string old = root + "/run/.flatpak/1";
    const std::string locked = root + "/run/.flatpak/2";
    const std::string fresh = root + "/run/.flatpak/3";
    const std::string older = root + "/run/.flatpak/4"; // made before Flatpak kept a reference
    for (const std::string& folder : {old, locked, fresh, older}) {
        writeFile(folder + "/info", info);
        writeFile(folder + "/pid", folder.substr(folder.size() - 1) + "\n");
    }
    for (const std::string& folder : {old, locked, fresh}) {
        writeFile(folder + "/.ref", "");
    }
    for (const std::string& folder : {old, locked}) {
        fs::last_write_time(folder + "/.ref",
                            fs::file_time_type::clock::now() - std::chrono::minutes(5));
    }
    // The sandbox's lock, as bwrap takes it.
    const int fd = open((locked + "/.ref").c_str(), O_RDWR | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    struct flock lock {};
    lock.l_type = F_RDLCK;
    lock.l_whence = SEEK_SET;
    ASSERT_EQ(fcntl(fd, F_SETLK, &lock), 0);

    const ProcSessionProcesses session(root + "/proc", root + "/run", {});
    std::vector<pid_t> running;
    for (const FlatpakInstance& instance : session.flatpakInstances()) {
        running.push_back(instance.pid.value_or(0));
    }
    std::sort(running.begin(), running.end());
    EXPECT_EQ(running, (std::vector<pid_t>{2, 3, 4}));
    close(fd);
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

TEST(ProcSessionProcesses, AProgramIsTheFileItLeadsToAlongPath) {
    const std::string root = temporaryFolder("programs");
    writeFile(root + "/lib/editor-real", "\x7f"
                                         "ELF");
    writeFile(root + "/lib/wrapper", "#!/bin/sh\nexec editor-real\n");
    writeFile(root + "/lib/not-runnable", "\x7f"
                                          "ELF");
    fs::create_directories(root + "/bin");
    fs::create_symlink(root + "/lib/editor-real", root + "/bin/editor");
    fs::create_symlink(root + "/lib/wrapper", root + "/bin/wrapper");
    fs::create_symlink(root + "/lib/not-runnable", root + "/bin/not-runnable");
    for (const char* file : {"/lib/editor-real", "/lib/wrapper"}) {
        fs::permissions(root + file, fs::perms::owner_all);
    }
    const std::string real = fs::canonical(root + "/lib/editor-real").string();
    const std::string wrapper = fs::canonical(root + "/lib/wrapper").string();
    const char* const path = std::getenv("PATH");
    const std::string savedPath = path != nullptr ? path : "";
    setenv("PATH", ("relative:" + root + "/bin").c_str(), 1);
    struct Case {
        std::string program;
        std::optional<std::string> file;
        bool script;
    };
    const Case cases[] = {
        {"editor", real, false},
        {root + "/bin/editor", real, false},
        {"wrapper", wrapper, true},
        {"not-runnable", std::nullopt, false},
        {"bin", std::nullopt, false}, // a folder
        {"bin/editor", std::nullopt, false},
        {"missing", std::nullopt, false},
    };
    const ProcSessionProcesses session;
    for (const Case& c : cases) {
        const std::optional<ProgramFile> file = session.programFile(c.program);
        EXPECT_EQ(file ? std::optional(file->path) : std::nullopt, c.file) << c.program;
        EXPECT_EQ(file && file->script, c.script) << c.program;
    }
    setenv("PATH", savedPath.c_str(), 1);
    std::error_code ignored;
    fs::remove_all(root, ignored);
}

TEST(ProcSessionProcesses, TerminateAsksTheProcessToEndButNeverThisOne) {
    char program[] = "/bin/sleep";
    char seconds[] = "30";
    char* argv[] = {program, seconds, nullptr};
    pid_t child = -1;
    ASSERT_EQ(posix_spawn(&child, program, nullptr, nullptr, argv, environ), 0);
    ProcSessionProcesses session;
    session.terminate(getpid());
    session.terminate(child);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGTERM);
}

} // namespace
} // namespace corvane::testing
