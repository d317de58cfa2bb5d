#pragma once

#include "base/Result.h"

#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// What a desktop file says about the application it starts.
struct DesktopEntry {
    std::string name;
    std::string icon;                   // a theme icon name or an absolute path; may be empty
    std::string execProgram;            // the first word of Exec, unquoted; may be empty
    std::optional<std::string> tryExec; // the program that must be installed for the entry to count
    std::optional<std::string> flatpakId; // X-Flatpak: the Flatpak application it starts
    bool noDisplay = false;               // installed, but left out of menus
    bool hidden = false;                  // deleted: hides entries of the same id further down
};

// Reads the [Desktop Entry] group of a desktop file. An error when the text is no desktop file
// of an application (no such group, another Type, no Name); a Hidden entry is returned as one,
// since it still hides the entries of its id found later.
Result<DesktopEntry> parseDesktopEntry(std::string_view text);

// The desktop file id of a file at `relativePath` below an applications/ folder:
// "kde/konsole.desktop" is "kde-konsole". None when the name does not end in ".desktop".
std::optional<std::string> desktopFileId(std::string_view relativePath);

// The program an Exec value starts: its first word, with the value's quoting undone.
std::string execProgram(std::string_view exec);

} // namespace corvane
