#include "core/linuxapps/RunningInstances.h"

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

} // namespace
} // namespace corvane::testing
