#include "core/linuxapps/RunningInstances.h"

#include "support/SessionDoubles.h"

#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

TEST(ApplicationUnit, NamesTheApplicationOfAppScopesAndServices) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"app-flatpak-org.gnome.TextEditor-123456.scope", "org.gnome.TextEditor"},
        {"app-gnome-org.gnome.TextEditor-4242.scope", "org.gnome.TextEditor"},
        {"app-gnome-org.gnome.Text\\x2dEditor-4242.scope", "org.gnome.Text-Editor"},
        {"app-gnome-gnome\\x2dsystem\\x2dmonitor-2211.scope", "gnome-system-monitor"},
        {"app-kde-org.kde.dolphin@0f3a2b1c9d8e4f7a.service", "org.kde.dolphin"},
        {"app-org.example.Tool@a1b2.service", "org.example.Tool"},
        {"app-kde-org.kde.konsole-1a2b3c.scope", "org.kde.konsole"},
        {"app-org.example.Tool.service", "org.example.Tool"},
        // Not an application's unit, or malformed.
        {"session-2.scope", std::nullopt},
        {"dbus.service", std::nullopt},
        {"app.slice", std::nullopt},
        {"app-gnome-org.gnome.TextEditor.scope", std::nullopt},
        {"app-gnome-org.gnome.TextEditor-.scope", std::nullopt},
        {"app-kde-org.kde.dolphin@.service", std::nullopt},
        {"app-kde-org.kde.dolphin@a-b.service", std::nullopt},
        {"app-gnome-bad\\x2-1.scope", std::nullopt},
        {"app-gnome-bad\\q2d-1.scope", std::nullopt},
        {"app--1.scope", std::nullopt},
    };
    for (const auto& [unit, id] : cases) {
        EXPECT_EQ(applicationIdOfUnit(unit), id) << unit;
    }
}

TEST(ApplicationUnit, CgroupLinesMatchTheWholeIdOnly) {
    const std::string flatpak = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                "app-flatpak-org.gnome.TextEditor-3215498.scope\n";
    const std::string gnome = "12:pids:/user.slice/user-1000.slice\n"
                              "1:name=systemd:/user.slice/user-1000.slice/user@1000.service/"
                              "app.slice/app-gnome-org.gnome.Text-2201.scope\n"
                              "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                              "app-gnome-org.gnome.Text-2201.scope";
    // A service with processes in a sub-group of its own.
    const std::string service = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                                "app-kde-org.kde.dolphin@77aa.service/worker\n";
    const std::string session = "0::/user.slice/user-1000.slice/session-3.scope\n";
    struct Case {
        const std::string* text;
        const char* id;
        bool runs;
    };
    const Case cases[] = {
        {&flatpak, "org.gnome.TextEditor", true},        {&flatpak, "org.gnome.Text", false},
        {&flatpak, "org.gnome.TextEditor.Devel", false}, {&gnome, "org.gnome.Text", true},
        {&gnome, "org.gnome.TextEditor", false},         {&service, "org.kde.dolphin", true},
        {&session, "org.gnome.TextEditor", false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(cgroupRunsApplication(*c.text, c.id), c.runs) << *c.text << " / " << c.id;
    }
}

// A Flatpak and a host package of one id run apart: each is told by its own units.
TEST(ApplicationUnit, EachPackageRunsInItsOwnUnits) {
    const std::string slice = "0::/user.slice/user-1000.slice/user@1000.service/app.slice/";
    FakeSessionProcesses session;
    session.processes = {
        {1, slice + "app-flatpak-org.gnome.TextEditor-3215498.scope\n", "/app/bin/x"},
        {2, slice + "app-gnome-org.gnome.TextEditor-4242.scope\n", "/usr/bin/gnome-text-editor"},
        {3, slice + "app-kde-org.gnome.TextEditor@77aa.service\n", "/usr/bin/gnome-text-editor"},
    };
    session.instances = {{"[Application]\nname=org.gnome.TextEditor\n", 4}};
    const std::tuple<LinuxPackage, std::vector<pid_t>, bool> cases[] = {
        {LinuxPackage::Any, {1, 2, 3, 4}, true},
        {LinuxPackage::Flatpak, {1, 4}, true},
        {LinuxPackage::Host, {2, 3}, false},
    };
    for (const auto& [package, pids, instance] : cases) {
        const Result<RunningInstances> found =
            runningInstances(session, "org.gnome.TextEditor", std::nullopt, package);
        ASSERT_TRUE(found.ok());
        EXPECT_EQ(found->pids, pids) << static_cast<int>(package);
        EXPECT_EQ(found->flatpakInstance, instance) << static_cast<int>(package);
    }
}

TEST(FlatpakFiles, InstanceInfoNamesItsApplication) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"[Application]\nname=org.gnome.TextEditor\nruntime=runtime/org.gnome.Platform/"
         "x86_64/47\n\n[Instance]\ninstance-id=3215498\napp-path=/var/lib/flatpak/app/x\n",
         "org.gnome.TextEditor"},
        {"[Runtime]\nname=org.gnome.Platform\n", std::nullopt},
        {"[Application]\nname=\n", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [text, id] : cases) {
        EXPECT_EQ(flatpakInstanceApplication(text), id) << text;
    }
}

TEST(FlatpakFiles, MetadataMigratePathIsAFolder) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"[Application]\nname=org.gnome.TextEditor\n\n[Context]\nshared=network;ipc;\n\n"
         "[X-DConf]\nmigrate-path=/org/gnome/TextEditor/\n",
         "/org/gnome/TextEditor/"},
        {"[X-DConf]\nmigrate-path=/org/gnome/gedit\n", "/org/gnome/gedit/"},
        {"[Application]\nmigrate-path=/org/x/\n", std::nullopt},
        {"[X-DConf]\nmigrate-path=relative/\n", std::nullopt},
        {"[X-DConf]\n", std::nullopt},
    };
    for (const auto& [text, path] : cases) {
        EXPECT_EQ(flatpakDconfMigratePath(text), path) << text;
    }
}

TEST(ExecProgram, TellsTheApplicationOnlyByAProgramFileOfItsOwn) {
    FakeSessionProcesses session;
    session.programs = {
        {"gedit", {"/usr/bin/gedit", false}},
        {"/usr/bin/gnome-text-editor", {"/usr/libexec/gnome-text-editor", false}},
        {"python3", {"/usr/bin/python3.11", false}},
        {"org.gnome.Maps", {"/usr/bin/org.gnome.Maps", true}},
        {"x-terminal-emulator", {"/usr/bin/perl", false}},
        {"env", {"/usr/bin/env", false}},
        {"flatpak", {"/usr/bin/flatpak", false}},
        {"sh", {"/usr/bin/dash", false}},
        {"/usr/bin/electron25", {"/usr/lib/electron25/electron25", false}},
    };
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"gedit", "/usr/bin/gedit"},
        {"/usr/bin/gnome-text-editor", "/usr/libexec/gnome-text-editor"},
        // Programs that run another one named after them, whatever they lead to.
        {"python3", std::nullopt},
        {"env", std::nullopt},
        {"flatpak", std::nullopt},
        {"sh", std::nullopt},
        {"/usr/bin/electron25", std::nullopt},
        // A wrapper script, and a name that leads to an interpreter.
        {"org.gnome.Maps", std::nullopt},
        {"x-terminal-emulator", std::nullopt},
        {"not-installed", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [program, file] : cases) {
        EXPECT_EQ(applicationProgramFile(session, program), file) << program;
    }
}

TEST(ExecProgram, IsTheApplicationsOwnWhenTheRestNamesNothing) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"gnome-text-editor --new-window %U", "gnome-text-editor"},
        {"\"/opt/My App/bin/app\" -s %f", "/opt/My App/bin/app"},
        {"  firefox  %u ", "firefox"},
        {"steam steam://rungameid/570", std::nullopt},
        {"epiphany --application-mode \"--profile=/home/u/.local/share/x\"", std::nullopt},
        {"/opt/google/chrome/google-chrome --profile-directory=Default --app-id=abc", std::nullopt},
        {"firefox -P work", std::nullopt},
        {"\"/opt/app", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [exec, program] : cases) {
        EXPECT_EQ(ownExecProgram(exec), program) << exec;
    }
}

TEST(ExecProgram, ItsProcessesRunWhereverTheyWereStarted) {
    FakeSessionProcesses session;
    session.processes = {
        // Started from a terminal of the login session, and from GNOME Terminal.
        {100, "0::/user.slice/user-1000.slice/session-2.scope\n", "/usr/bin/gedit"},
        {101,
         "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
         "app-org.gnome.Terminal.slice/vte-spawn-5e0e5a53-9a6b-4b8e-a1c6-7b1c0e3f2d11.scope\n",
         "/usr/bin/gedit"},
        // Started from the desktop: its scope tells it whatever it runs.
        {102,
         "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
         "app-gnome-org.gnome.gedit-4242.scope\n",
         "/usr/bin/bash"},
        {103, "0::/user.slice/user-1000.slice/session-2.scope\n", "/usr/bin/gedit-helper"},
        {104, "0::/user.slice/user-1000.slice/session-2.scope\n", ""},
    };
    const std::pair<std::optional<std::string>, std::vector<pid_t>> cases[] = {
        {"/usr/bin/gedit", {100, 101, 102}},
        {std::nullopt, {102}},
        {"", {102}},
    };
    for (const auto& [file, pids] : cases) {
        const Result<RunningInstances> found = runningInstances(session, "org.gnome.gedit", file);
        ASSERT_TRUE(found.ok());
        EXPECT_EQ(found->pids, pids) << file.value_or("(none)");
        EXPECT_FALSE(found->includesThisProgram);
    }
}

} // namespace
} // namespace corvane::testing
