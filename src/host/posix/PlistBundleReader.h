#pragma once

#include "ports/Workspace.h"

#include <optional>
#include <string>

namespace corvane {

// Reads a bundle's Info.plist through the separate corvane-plist-reader program, bounded in
// time and output, so that a hostile file can neither crash nor hang the caller. A reader that
// is missing, crashes, is stopped or prints anything unexpected gives an error naming that.
class PlistBundleReader : public BundleReader {
public:
    // Uses the reader next to the running program, else the one in the build folder; it is
    // looked for when the first bundle is read, so a caller that reads none pays nothing.
    PlistBundleReader() = default;
    // Uses the reader program at `readerPath`.
    explicit PlistBundleReader(std::string readerPath);

    [[nodiscard]] Result<BundleInfo, BundleError>
    readBundle(const std::string& bundlePath) const override;

    // Where the reader program was looked for and found; empty when it was not found.
    static const std::string& defaultReaderPath();

private:
    const std::string& readerPath() const;

    std::optional<std::string> m_readerPath;
};

// The values in the reader's output; none when the output is not exactly what it prints.
std::optional<BundleInfo> parsePlistReaderOutput(const std::string& output);

} // namespace corvane
