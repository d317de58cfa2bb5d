#pragma once

namespace corvane {

class ApplicationBus;
class BundleReader;
class Clock;
class CookieStore;
class DesktopApplications;
class FileSystem;
class ProcessLauncher;
class RunningApplications;
class SessionProcesses;
class SettingsDatabase;
class SystemLog;
class Trash;
class Workspace;

// The host's facilities as every face (the window, the command line, a test) hands them to the
// core: those every host has by reference, the ones a host may lack as pointers. Whoever makes it
// keeps the facilities alive for as long as the bundle is used.
struct Ports {
    FileSystem& fileSystem;
    Workspace& workspace;
    BundleReader& bundles;
    ProcessLauncher& launcher;
    RunningApplications& runningApplications;
    CookieStore& cookieStore;
    SystemLog& systemLog;
    // None: this home has no Trash the program can move items into, so nothing a reset takes
    // can be put back.
    Trash* trash = nullptr;
    Clock* clock = nullptr; // none: the steady clock and real sleeps
    // None: no desktop application is a target and there is no list of installed ones.
    DesktopApplications* desktopApplications = nullptr;
    // None: the desktop's settings database is out of reach on this host.
    SettingsDatabase* settingsDatabase = nullptr;
    // None: the session's processes and Flatpak instances cannot be looked at on this host.
    SessionProcesses* sessionProcesses = nullptr;
    // None: a running Linux application is not asked over the session bus, only sent SIGTERM.
    ApplicationBus* applicationBus = nullptr;
};

} // namespace corvane
