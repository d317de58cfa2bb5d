#include "host/posix/PlistBundleReader.h"

#include "base/Paths.h"
#include "base/Text.h"
#include "host/posix/ChildProcess.h"
#include "host/posix/HelperPrograms.h"
#include "host/posix/tools/PlistReaderProtocol.h"

#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstring>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane {

namespace {

using namespace std::chrono_literals;
namespace protocol = plistreader;

constexpr const char* kReaderName = "corvane-plist-reader";
constexpr auto kReaderTimeout = 2000ms;
constexpr std::size_t kMaxReaderOutput = std::size_t{64} * 1024;
constexpr const char* kReaderMissing = "the bundle reader is missing";
constexpr const char* kReaderNonsense =
    "the bundle reader gave an answer that could not be understood";

BundleError unreadable(std::string reason) {
    return {BundleFailure::UnreadableInfoPlist, std::move(reason)};
}

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

Result<BundleInfo, BundleError> PlistBundleReader::readBundle(const std::string& bundlePath) const {
    const std::string plist = withoutTrailingSlashes(bundlePath) + "/Contents/Info.plist";

    // Only an item without the file at all is no bundle; a dangling link or a folder in its
    // place is a bundle whose Info.plist is unusable.
    struct stat info {};
    if (lstat(plist.c_str(), &info) != 0) {
        const int code = errno;
        if (code == ENOENT || code == ENOTDIR) {
            return BundleError{BundleFailure::NotABundle, "the item has no Contents/Info.plist"};
        }
        return unreadable(std::string("the Info.plist could not be examined: ") +
                          std::strerror(code));
    }
    // The reader checks again on the file it opens; this spares a process for the plain cases.
    if (stat(plist.c_str(), &info) != 0) {
        const int code = errno;
        return unreadable(std::string("the Info.plist could not be followed: ") +
                          std::strerror(code));
    }
    if (!S_ISREG(info.st_mode)) {
        return unreadable("the Info.plist is not a regular file");
    }
    if (info.st_size > static_cast<off_t>(protocol::kMaxFileSize)) {
        return unreadable("the Info.plist is larger than 1 MiB");
    }
    if (readerPath().empty()) {
        return BundleError{BundleFailure::ReaderMissing, kReaderMissing};
    }

    ChildOptions options;
    options.timeout = kReaderTimeout;
    options.maxOutput = kMaxReaderOutput;
    options.maxErrorOutput = 0;
    const ChildResult result = runChildProcess(readerPath(), {plist}, options);
    if (!result.started) {
        return BundleError{BundleFailure::ReaderMissing,
                           result.startError == ENOENT
                               ? std::string(kReaderMissing)
                               : std::string("the bundle reader could not be started: ") +
                                     std::strerror(result.startError)};
    }
    // The reader's own CPU limit stops it with SIGXCPU: that, too, is a read that took too long.
    if (result.timedOut || result.endingSignal == SIGXCPU) {
        return BundleError{BundleFailure::ReaderTimedOut, "reading the bundle took too long"};
    }
    if (result.outputTruncated) {
        return BundleError{BundleFailure::ReaderFailed, kReaderNonsense};
    }
    if (result.endingSignal) {
        return BundleError{BundleFailure::ReaderCrashed, "the bundle reader crashed"};
    }
    if (result.exitStatus == protocol::kExitUnreadable) {
        return unreadable("the Info.plist could not be read");
    }
    if (result.exitStatus == protocol::kExitNotAPlist) {
        return unreadable("the Info.plist is malformed");
    }
    if (result.exitStatus != 0) {
        return BundleError{BundleFailure::ReaderFailed,
                           "the bundle reader failed with status " +
                               std::to_string(result.exitStatus.value_or(-1))};
    }
    std::optional<BundleInfo> bundle = parsePlistReaderOutput(result.output);
    if (!bundle) {
        return BundleError{BundleFailure::ReaderFailed, kReaderNonsense};
    }
    return std::move(*bundle);
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
