#pragma once

#include <optional>
#include <string>
#include <variant>

namespace corvane::cli {

// The window is to open, with this application chosen when one was named.
struct OpenWindow {
    std::optional<std::string> application;
};

// Reads the command line. An action that needs no window (--list, --reset, --restore, --help,
// --version, or a command line that cannot be carried out) is done here and its exit status
// returned; otherwise the caller opens the window. No Qt application object exists while this
// runs, so none of it needs a display.
std::variant<int, OpenWindow> runCommandLine(int argc, char** argv);

} // namespace corvane::cli
