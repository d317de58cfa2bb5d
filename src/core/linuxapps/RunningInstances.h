#pragma once

#include "core/linuxapps/LinuxPackage.h"
#include "ports/SessionProcesses.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The application id a systemd unit of the user's session starts, read from the unit's name as
// desktops and Flatpak make it: app-[LAUNCHER-]ID-RANDOM.scope or
// app-[LAUNCHER-]ID[@RANDOM].service, ID with systemd's \xNN escapes ('-' is \x2d) undone. None for
// any other unit.
std::optional<std::string> applicationIdOfUnit(std::string_view unit);

// True when a process whose cgroup file has this text (one "N:controllers:/path" line per
// hierarchy) runs in a scope or service of the application: any unit along a line's path counts,
// and the id must match whole (org.gnome.Text is not org.gnome.TextEditor).
// `package`: only Flatpak's units (app-flatpak-...) count for the Flatpak, only others for the
// host package.
bool cgroupRunsApplication(std::string_view cgroupText, std::string_view applicationId,
                           LinuxPackage package = LinuxPackage::Any);

// The application of a Flatpak instance, from the text of its info file ([Application] name=).
std::optional<std::string> flatpakInstanceApplication(std::string_view infoText);

// The host dconf folder a Flatpak application's metadata ([X-DConf] migrate-path=) says its
// settings keyfile is rebuilt from when missing; none when the application migrates nothing.
std::optional<std::string> flatpakDconfMigratePath(std::string_view metadataText);

// Whether a desktop file's Exec program can tell the application's processes by their program
// file: not when it is a program that runs another one named on its command line (a shell, a
// script language, env, flatpak), whose file is the same for every application it starts.
bool execProgramNamesOwnFile(std::string_view program);

// The program an Exec value starts when that program is the application's own: none when the
// value also names something for the program to run or open (`steam steam://rungameid/1`,
// `epiphany --profile=DIR`, `chromium --app-id=ID`), since other desktop files start the same
// program for other things. Options without a value and field codes (%U) name nothing.
std::optional<std::string> ownExecProgram(std::string_view exec);

// The file of the application's own program, its processes' executable: the Exec program's
// file, unless the program or the file it leads to runs another one (above) or is a script (a
// wrapper whose processes run an interpreter). None when it cannot tell.
std::optional<std::string> applicationProgramFile(const SessionProcesses& session,
                                                  const std::string& execProgram);

// What runs of an application: its processes found by their scope or service, or by running
// its program file when it has one (the Flatpak instances' sandbox processes added), whether
// Flatpak lists an instance of it, which counts as running even when its process is not known,
// and whether this program itself is among them (started from the application, a terminal).
struct RunningInstances {
    std::vector<pid_t> pids;
    bool flatpakInstance = false;
    bool includesThisProgram = false;
    bool running() const { return flatpakInstance || !pids.empty(); }
};

// `package`: the Flatpak's instances are its own, the host package's are found by its units and
// program file alone.
Result<RunningInstances> runningInstances(const SessionProcesses& session,
                                          std::string_view applicationId,
                                          const std::optional<std::string>& programFile = {},
                                          LinuxPackage package = LinuxPackage::Any);

// The host dconf folder the application's installed Flatpak rebuilds its settings from.
std::optional<std::string> flatpakDconfMigratePath(const SessionProcesses& session,
                                                   const std::string& applicationId);

} // namespace corvane
