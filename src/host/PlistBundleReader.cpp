#include "host/PlistBundleReader.h"

#include "base/Paths.h"
#include "base/Utf16.h"
#include "host/ChildProcess.h"
#include "host/HelperPrograms.h"
#include "host/tools/PlistReaderProtocol.h"

#include <cerrno>
#include <chrono>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

using namespace std::chrono_literals;
namespace protocol = plistreader;

constexpr const char* kReaderName = "corvane-plist-reader";
constexpr auto kReaderTimeout = 2000ms;
constexpr std::size_t kMaxReaderOutput = std::size_t{64} * 1024;

} // namespace

const std::string& PlistBundleReader::defaultReaderPath() {
    static const std::string found = helperProgramPath(kReaderName);
    return found;
}

PlistBundleReader::PlistBundleReader(std::string readerPath)
    : m_readerPath(std::move(readerPath)) {}

const std::string& PlistBundleReader::readerPath() const {
    return m_readerPath ? *m_readerPath : defaultReaderPath();
}

std::optional<BundleInfo> PlistBundleReader::readBundle(const std::string& bundlePath) const {
    const std::string plist = withoutTrailingSlashes(bundlePath) + "/Contents/Info.plist";

    // Only an item without the file at all is no bundle; a dangling link or a folder in its
    // place is a bundle whose Info.plist is unusable.
    struct stat info {};
    if (lstat(plist.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return std::nullopt;
        }
        return BundleInfo{};
    }
    // The reader checks again on the file it opens; this spares a process for the plain cases.
    if (stat(plist.c_str(), &info) != 0 || !S_ISREG(info.st_mode) ||
        info.st_size > static_cast<off_t>(protocol::kMaxFileSize) || readerPath().empty()) {
        return BundleInfo{};
    }

    ChildOptions options;
    options.timeout = kReaderTimeout;
    options.maxOutput = kMaxReaderOutput;
    const ChildResult result = runChildProcess(readerPath(), {plist}, options);
    if (!result.started || result.timedOut || result.exitStatus != 0) {
        return BundleInfo{};
    }
    return parsePlistReaderOutput(result.output).value_or(BundleInfo{});
}

std::optional<BundleInfo> parsePlistReaderOutput(const std::string& output) {
    const std::string header = std::string(protocol::kHeaderLine) + "\n";
    const std::string footer = std::string(protocol::kEndLine) + "\n";
    if (output.size() < header.size() + footer.size() ||
        output.compare(0, header.size(), header) != 0 ||
        output.compare(output.size() - footer.size(), footer.size(), footer) != 0) {
        return std::nullopt;
    }
    BundleInfo bundle;
    std::size_t at = header.size();
    const std::size_t bodyEnd = output.size() - footer.size();
    while (at < bodyEnd) {
        const std::size_t lineEnd = output.find('\n', at);
        const std::size_t tab = output.find('\t', at);
        if (lineEnd == std::string::npos || lineEnd > bodyEnd || tab == std::string::npos ||
            tab > lineEnd) {
            return std::nullopt;
        }
        const std::string key = output.substr(at, tab - at);
        const std::string value = output.substr(tab + 1, lineEnd - tab - 1);
        std::optional<std::string>* slot = nullptr;
        if (key == protocol::kIdentifierKey) {
            slot = &bundle.identifier;
        } else if (key == protocol::kIconFileKey) {
            slot = &bundle.iconFile;
        } else if (key == protocol::kShortVersionKey) {
            slot = &bundle.shortVersion;
        }
        // The reader never prints a tab, carriage return or NUL inside a value.
        if (!slot || *slot || !isValidUtf8(value) ||
            value.find_first_of(std::string_view("\t\r\0", 3)) != std::string::npos) {
            return std::nullopt;
        }
        *slot = value;
        at = lineEnd + 1;
    }
    return bundle;
}

} // namespace corvane
