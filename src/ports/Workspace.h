#pragma once

#include <optional>
#include <string>

namespace corvane {

struct BundleInfo {
    std::optional<std::string> identifier;   // CFBundleIdentifier, when it is a string
    std::optional<std::string> iconFile;     // CFBundleIconFile
    std::optional<std::string> shortVersion; // CFBundleShortVersionString
};

class BundleReader {
public:
    virtual ~BundleReader() = default;
    // Reads `Contents/Info.plist` of the bundle at the path. None when the item is no bundle
    // (there is no such file); a bundle whose file is unreadable, malformed, not a regular file
    // or larger than 1 MiB gives a BundleInfo without values.
    virtual std::optional<BundleInfo> readBundle(const std::string& bundlePath) const = 0;
};

class Workspace {
public:
    virtual ~Workspace() = default;
    // Full path of an installed application known under the name (with or without ".app").
    virtual std::optional<std::string> fullPathForApplication(const std::string& name) const = 0;
};

} // namespace corvane
