#include "core/update/UpdateCheck.h"

#include "BuildInfo.h"
#include "base/Text.h"

namespace corvane {

namespace {

constexpr std::chrono::seconds kCheckTimeout{15};
constexpr std::size_t kMaxPageBytes = std::size_t{64} * 1024;

bool isSuccess(int statusCode) {
    return statusCode >= 200 && statusCode <= 299;
}

} // namespace

UrlRequest defaultUpdateRequest() {
    UrlRequest request;
    request.url = build::kUpdateUrl;
    request.timeout = kCheckTimeout;
    request.maxBodyBytes = kMaxPageBytes;
    return request;
}

Version installedVersion() {
    return Version::parseLeading(build::kVersion).value_or(Version());
}

UpdateOutcome decideUpdate(const std::optional<std::string>& text, const Version& installed) {
    if (!text) {
        return UpdateOutcome::NoConnection;
    }
    const std::optional<Version> published = Version::parseLeading(*text);
    if (!published) {
        return UpdateOutcome::Unreadable;
    }
    return *published > installed ? UpdateOutcome::NewerVersion : UpdateOutcome::UpToDate;
}

UpdateOutcome decideUpdatePage(int statusCode, const std::string& body, std::size_t maxBodyBytes,
                               const Version& installed) {
    // An error page, an oversized body or bytes that are no text carry no version, however
    // they begin.
    if (!isSuccess(statusCode) || body.size() > maxBodyBytes || !isValidUtf8(body)) {
        return UpdateOutcome::Unreadable;
    }
    return decideUpdate(body, installed);
}

} // namespace corvane
