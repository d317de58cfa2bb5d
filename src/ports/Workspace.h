#pragma once

#include "base/Result.h"

#include <optional>
#include <string>
#include <vector>

namespace corvane {

struct BundleInfo {
    std::optional<std::string> identifier;   // CFBundleIdentifier, when it is a string
    std::optional<std::string> iconFile;     // CFBundleIconFile
    std::optional<std::string> shortVersion; // CFBundleShortVersionString
};

// Why a bundle's values could not be had.
enum class BundleFailure {
    NotABundle,          // the item has no Contents/Info.plist: it is no application
    UnreadableInfoPlist, // the file is unreadable, malformed, not a regular file or over 1 MiB
    ReaderMissing,       // the program that reads bundles is missing or cannot be started
    ReaderTimedOut,      // it took too long and was stopped
    ReaderCrashed,       // a signal ended it
    ReaderFailed,        // it failed otherwise, or answered in a way it never does
};

struct BundleError {
    BundleFailure failure = BundleFailure::NotABundle;
    std::string reason; // in plain words, e.g. "the bundle reader crashed"
};

// True when the fault lies with the means of reading, not with the item.
inline bool isReaderFault(BundleFailure failure) {
    return failure != BundleFailure::NotABundle && failure != BundleFailure::UnreadableInfoPlist;
}

class BundleReader {
public:
    virtual ~BundleReader() = default;
    // Reads `Contents/Info.plist` of the bundle at the path; a key the file lacks, or holds as
    // no usable string, is left without a value.
    [[nodiscard]] virtual Result<BundleInfo, BundleError>
    readBundle(const std::string& bundlePath) const = 0;
};

class Workspace {
public:
    virtual ~Workspace() = default;
    // Full path of an installed application known under the name (with or without ".app").
    virtual std::optional<std::string> fullPathForApplication(const std::string& name) const = 0;
    // Every installed application bundle, in the order the name look-up searches them.
    virtual std::vector<std::string> installedApplications() const { return {}; }
};

} // namespace corvane
