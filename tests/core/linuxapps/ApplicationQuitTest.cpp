#include "core/linuxapps/ApplicationQuit.h"

#include "core/fix/QuitWait.h"
#include "support/FixDoubles.h"
#include "support/SessionDoubles.h"

#include <gtest/gtest.h>

namespace corvane::testing {
namespace {

constexpr const char* kId = "org.example.Some-App";
constexpr const char* kQuitCall = "org.example.Some-App /org/example/Some_App quit";

TEST(ApplicationObjectPath, IsTheIdAsGApplicationExportsIt) {
    const std::pair<const char*, std::optional<std::string>> cases[] = {
        {"org.gnome.TextEditor", "/org/gnome/TextEditor"},
        {"org.example.Some-App", "/org/example/Some_App"},
        {"vlc", "/vlc"},
        {"org..gnome", std::nullopt},
        {".org.gnome", std::nullopt},
        {"org.gnome.", std::nullopt},
        {"org.gnome/x", std::nullopt},
        {"org.gnome x", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& [id, path] : cases) {
        EXPECT_EQ(applicationObjectPath(id), path) << id;
    }
}

ProcessCgroup scoped(pid_t pid) {
    return {pid,
            "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
            "app-gnome-org.example.Some\\x2dApp-" +
                std::to_string(pid) + ".scope\n",
            "/usr/bin/some-app"};
}

TEST(ApplicationQuit, AsksOverTheBusOnlyAnOwnedNameThenSignalsTheProcesses) {
    enum class Bus { None, Unreachable, Unowned, Refuses, Quits, TakesButStays };
    struct Case {
        Bus bus;
        std::set<pid_t> stubborn;
        std::vector<std::string> activated;
        std::vector<pid_t> terminated;
        QuitWaitOutcome outcome;
    };
    const Case cases[] = {
        {Bus::Quits, {}, {kQuitCall}, {}, QuitWaitOutcome::Quit},
        // Asking a name nobody owns could start the application: never done.
        {Bus::Unowned, {}, {}, {20, 21}, QuitWaitOutcome::Quit},
        {Bus::Unreachable, {}, {}, {20, 21}, QuitWaitOutcome::Quit},
        {Bus::None, {}, {}, {20, 21}, QuitWaitOutcome::Quit},
        {Bus::Refuses, {}, {kQuitCall}, {20, 21}, QuitWaitOutcome::Quit},
        // Each is asked once; one that stays is still running when the bound passes.
        {Bus::Unowned, {21}, {}, {20, 21}, QuitWaitOutcome::StillRunning},
        {Bus::TakesButStays, {}, {kQuitCall}, {}, QuitWaitOutcome::StillRunning},
    };
    for (const Case& c : cases) {
        FakeSessionProcesses session;
        session.processes = {scoped(20), scoped(21)};
        session.stubborn = c.stubborn;
        FakeApplicationBus bus;
        bus.unreachable = c.bus == Bus::Unreachable;
        bus.refuses = c.bus == Bus::Refuses;
        if (c.bus == Bus::Quits || c.bus == Bus::Refuses || c.bus == Bus::TakesButStays) {
            bus.owners.insert(kId);
        }
        if (c.bus == Bus::Quits) {
            bus.onQuit = [&session] { session.processes.clear(); };
        }
        ApplicationInstances instances(session, c.bus == Bus::None ? nullptr : &bus, kId,
                                       std::nullopt);
        const Result<std::vector<pid_t>> running = instances.withBundleIdentifier(kId);
        ASSERT_TRUE(running.ok());
        FakeClock clock;
        const QuitWaitOutcome outcome = quitAndWait(instances, kId, *running, clock);
        const int row = static_cast<int>(&c - cases);
        EXPECT_EQ(outcome, c.outcome) << row;
        EXPECT_EQ(bus.activated, c.activated) << row;
        EXPECT_EQ(session.terminated, c.terminated) << row;
        EXPECT_EQ(instances.quitOverBus(), c.bus == Bus::Quits || c.bus == Bus::TakesButStays)
            << row;
    }
}

// Both packages of an id own the same bus name: while the other one runs, the name may be its.
TEST(ApplicationQuit, TheBusIsNotAskedWhileTheOtherPackageRuns) {
    for (const bool otherRuns : {true, false}) {
        FakeSessionProcesses session;
        session.processes = {{20,
                              "0::/user.slice/user-1000.slice/user@1000.service/app.slice/"
                              "app-flatpak-org.example.Some\\x2dApp-77.scope\n",
                              "/app/bin/some-app"}};
        if (otherRuns) {
            session.processes.push_back(scoped(30));
        }
        FakeApplicationBus bus;
        bus.owners.insert(kId);
        ApplicationInstances instances(session, &bus, kId, std::nullopt, LinuxPackage::Flatpak);
        const Result<std::vector<pid_t>> running = instances.withBundleIdentifier(kId);
        ASSERT_TRUE(running.ok());
        EXPECT_EQ(*running, std::vector<pid_t>{20});
        instances.terminate(20);
        EXPECT_EQ(bus.activated.size(), otherRuns ? 0U : 1U) << otherRuns;
        EXPECT_EQ(session.terminated, otherRuns ? std::vector<pid_t>{20} : std::vector<pid_t>{})
            << otherRuns;
    }
}

// A record's kinds tell whose folders its reset took, and so what to quit before putting it back.
TEST(ApplicationQuit, ARecordsKindsNameItsPackage) {
    const std::pair<std::vector<std::string>, std::optional<LinuxPackage>> cases[] = {
        {{"flatpak_config", "flatpak_cache"}, LinuxPackage::Flatpak},
        {{"xdg_config"}, LinuxPackage::Host},
        {{"flatpak_state", "xdg_cache"}, LinuxPackage::Any},
        {{"preferences", "saved_state"}, std::nullopt},
        {{"no_such_kind"}, std::nullopt},
        {{}, std::nullopt},
    };
    for (std::size_t row = 0; row < std::size(cases); ++row) {
        EXPECT_EQ(linuxPackageOfKinds(cases[row].first), cases[row].second) << row;
    }
}

TEST(ApplicationQuit, InstancesThatCannotBeAskedOrSeenToEndAreNoAnswer) {
    struct Case {
        std::vector<ProcessCgroup> processes;
        std::vector<FlatpakInstance> instances;
        std::optional<std::string> unreadable;
        bool told;
    };
    ProcessCgroup self = scoped(30);
    self.thisProgram = true;
    const std::string info = std::string("[Application]\nname=") + kId + "\n";
    const Case cases[] = {
        {{scoped(20)}, {}, std::nullopt, true},
        {{}, {}, std::nullopt, true},
        {{}, {{info, 40}}, std::nullopt, true},
        {{}, {{info, std::nullopt}}, std::nullopt, false},
        {{scoped(20), self}, {}, std::nullopt, false},
        {{}, {}, "the process table /proc cannot be read", false},
    };
    for (const Case& c : cases) {
        FakeSessionProcesses session;
        session.processes = c.processes;
        session.instances = c.instances;
        session.unreadable = c.unreadable;
        const ApplicationInstances instances(session, nullptr, kId, std::nullopt);
        EXPECT_EQ(instances.withBundleIdentifier(kId).ok(), c.told) << (&c - cases);
        // Another identifier is not this application's.
        const Result<std::vector<pid_t>> other =
            instances.withBundleIdentifier("org.example.Other");
        EXPECT_TRUE(other.ok() && other->empty());
    }
}

} // namespace
} // namespace corvane::testing
