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
        // On Debian /usr/bin/open can be a console tool; the desktop's opener takes URLs.
        return "/usr/bin/xdg-open";
#endif
    }
    return {};
}

} // namespace corvane
