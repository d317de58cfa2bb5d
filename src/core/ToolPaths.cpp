#include "ports/Processes.h"

namespace corvane {

std::string systemToolPath(Tool tool) {
    switch (tool) {
    case Tool::Remove:
        return "/bin/rm";
    case Tool::Defaults:
        return "/usr/bin/defaults";
    case Tool::KillAll:
        return "/usr/bin/killall";
    case Tool::Open:
        return "/usr/bin/open";
    }
    return {};
}

} // namespace corvane
