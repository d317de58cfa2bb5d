#pragma once

#include "app/AppDelegate.h"
#include "core/ProcessWideValues.h"
#include "host/posix/HostFileSystem.h"
#include "support/FakeControls.h"
#include "support/FakeServices.h"
#include "support/TempHome.h"

#include <gtest/gtest.h>
#include <memory>

namespace corvane::testing {

// A controller over test doubles for the window and the dialogs, the real file system and a
// fresh temporary home. The process-wide values start empty in every test.
class DelegateFixture : public ::testing::Test {
protected:
    DelegateFixture() {
        processWide() = {};
        services.fileSystem = &fileSystem;
        services.openPanel = &openPanel;
        services.alerts = &alerts;
        services.workspace = &workspace;
        services.bundles = &bundles;
        services.application = &application;
        services.systemLog = &log;
        services.resetChooser = &resetChooser;
    }

    AppDelegate& delegate() {
        if (!m_delegate) {
            m_delegate = std::make_unique<AppDelegate>(window.outlets(), services.ports(),
                                                       services.windowParts());
            m_delegate->applicationDidFinishLaunching();
        }
        return *m_delegate;
    }

    // Sets the target as the chooser would.
    void target(const std::string& identifier, const std::string& name = "Example.app") {
        processWide().targetBundleIdentifier = identifier;
        processWide().targetApplicationName = name;
    }

    TempHome home;
    HostFileSystem fileSystem;
    FakeMainWindow window;
    ScriptedAlerts alerts;
    ScriptedOpenPanel openPanel;
    ScriptedResetChooser resetChooser;
    MapWorkspace workspace;
    MapBundleReader bundles;
    RecordingApplication application;
    RecordingLog log;
    DelegateDoubles services;

private:
    std::unique_ptr<AppDelegate> m_delegate;
};

} // namespace corvane::testing
