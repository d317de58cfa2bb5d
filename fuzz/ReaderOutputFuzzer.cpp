// Decodes arbitrary bytes as the plist reader's output and compares the result with a decoder
// written line by line from the reader's format: the header line, "key<TAB>value" lines for
// distinct known keys with values free of tabs, line ends and NULs and in UTF-8, then "end".
// Anything else must be refused.
#include "base/Text.h"
#include "host/posix/PlistBundleReader.h"
#include "host/posix/tools/PlistReaderProtocol.h"

#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

namespace {

namespace reader = corvane::plistreader;

std::optional<corvane::BundleInfo> decodeByLines(const std::string& output) {
    if (output.empty() || output.back() != '\n') {
        return std::nullopt;
    }
    std::vector<std::string> lines;
    std::size_t at = 0;
    while (at < output.size()) {
        const std::size_t end = output.find('\n', at);
        lines.push_back(output.substr(at, end - at));
        at = end + 1;
    }
    if (lines.size() < 2 || lines.front() != reader::kHeaderLine ||
        lines.back() != reader::kEndLine) {
        return std::nullopt;
    }
    corvane::BundleInfo bundle;
    for (std::size_t i = 1; i + 1 < lines.size(); ++i) {
        const std::string& line = lines[i];
        const std::size_t tab = line.find('\t');
        if (tab == std::string::npos) {
            return std::nullopt;
        }
        const std::string key = line.substr(0, tab);
        const std::string value = line.substr(tab + 1);
        if (value.find_first_of(std::string("\t\r\0", 3)) != std::string::npos ||
            !corvane::isValidUtf8(value)) {
            return std::nullopt;
        }
        std::optional<std::string>* slot = key == reader::kIdentifierKey     ? &bundle.identifier
                                           : key == reader::kIconFileKey     ? &bundle.iconFile
                                           : key == reader::kShortVersionKey ? &bundle.shortVersion
                                                                             : nullptr;
        if (!slot || *slot) {
            return std::nullopt;
        }
        *slot = value;
    }
    return bundle;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string output(reinterpret_cast<const char*>(data), size);
    const std::optional<corvane::BundleInfo> decoded = corvane::parsePlistReaderOutput(output);
    const std::optional<corvane::BundleInfo> expected = decodeByLines(output);
    if (decoded.has_value() != expected.has_value()) {
        std::abort();
    }
    if (decoded &&
        (decoded->identifier != expected->identifier || decoded->iconFile != expected->iconFile ||
         decoded->shortVersion != expected->shortVersion)) {
        std::abort();
    }
    return 0;
}
