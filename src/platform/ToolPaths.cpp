#include "platform/HelperPrograms.h"
#include "platform/Processes.h"

namespace corvane {

std::string toolPath(Tool tool) {
    switch (tool) {
    case Tool::Remove:
        return "/bin/rm";
    case Tool::Defaults:
        return "/usr/bin/defaults";
    case Tool::KillAll:
        return "/usr/bin/killall";
    case Tool::Open:
#ifdef __APPLE__
        return "/usr/bin/open";
#else
    {
        // On Debian /usr/bin/open can be a console tool, so the desktop's opener is used. It
        // may run the browser with our output pipe still open, which would hold the caller
        // until the browser ends; corvane-open starts it detached and returns at once.
        const std::string detached = helperProgramPath("corvane-open");
        return detached.empty() ? "/usr/bin/xdg-open" : detached;
    }
#endif
    }
    return {};
}

} // namespace corvane
