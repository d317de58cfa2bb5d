#include "platform/host/PlistBundleReader.h"

#include <sys/stat.h>

namespace corvane {

// Placeholder: recognises a bundle but does not read its Info.plist yet.
std::optional<BundleInfo> PlistBundleReader::readBundle(const std::string& bundlePath) const {
    struct stat info {};
    if (lstat((bundlePath + "/Contents/Info.plist").c_str(), &info) != 0) {
        return std::nullopt;
    }
    return BundleInfo{};
}

} // namespace corvane
