#include "core/LoggedTool.h"

#include "base/Text.h"
#include "ports/Processes.h"
#include "ports/Services.h"

namespace corvane {

namespace {

// A tool's complaint can run to pages; the log keeps the start of its first line.
constexpr std::size_t kMaxLoggedReason = 300;

std::string firstLine(const std::string& text) {
    std::string line = text.substr(0, text.find('\n'));
    if (!line.empty() && line.back() == '\r') {
        line.pop_back();
    }
    if (line.size() > kMaxLoggedReason) {
        std::size_t cut = kMaxLoggedReason;
        // Never split a UTF-8 sequence.
        while (cut > 0 && (static_cast<unsigned char>(line[cut]) & 0xC0) == 0x80) {
            --cut;
        }
        line.resize(cut);
    }
    return line;
}

} // namespace

std::optional<std::string> runLoggedTool(ProcessLauncher& launcher, SystemLog& systemLog,
                                         const std::string& launchPath,
                                         const std::vector<std::string>& arguments) {
    const auto log = [&systemLog](const std::string& line) { systemLog.log(line); };
    // Tools are named by absolute path only; a relative one would depend on the working folder.
    if (launchPath.empty() || launchPath.front() != '/') {
        log("could not start \"" + launchPath + "\": a tool is run by its absolute path only");
        return std::nullopt;
    }
    Result<ProcessOutput> ran = launcher.run(launchPath, arguments);
    if (!ran) {
        log(ran.error().reason);
        return std::nullopt;
    }
    if (ran->exitStatus != 0) {
        const std::string reason = firstLine(ran->standardError);
        log(launchPath + " exited with status " + std::to_string(ran->exitStatus) +
            (reason.empty() ? "" : ": " + reason));
    }
    if (!isValidUtf8(ran->standardOutput)) {
        log(launchPath + " wrote output that is not UTF-8; it was dropped");
        return std::nullopt;
    }
    return std::move(ran->standardOutput);
}

} // namespace corvane
