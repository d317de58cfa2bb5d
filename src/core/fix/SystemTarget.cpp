#include "core/fix/SystemTarget.h"

#include "base/Paths.h"
#include "base/Text.h"

namespace corvane {

bool isSystemTargetPath(std::string_view applicationPath) {
    const std::string path = withoutTrailingSlashes(applicationPath);
    // The folders above the bundle; the bundle's own name does not count.
    const std::size_t lastSlash = path.rfind('/');
    if (lastSlash == std::string::npos) {
        return false;
    }
    std::size_t start = 0;
    while (start < lastSlash) {
        std::size_t end = path.find('/', start);
        if (equalsIgnoringCase(std::string_view(path).substr(start, end - start), "CoreServices")) {
            return true;
        }
        start = end + 1;
    }
    return false;
}

} // namespace corvane
