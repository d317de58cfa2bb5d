#pragma once

#include "core/update/Version.h"
#include "ports/Network.h"

#include <cstddef>
#include <optional>
#include <string>

namespace corvane {

// The update page as this build fetches it: its address, a bound on the whole load and on the
// size of its body.
UrlRequest defaultUpdateRequest();

// The version of the running program.
Version installedVersion();

enum class UpdateOutcome {
    NoConnection, // the page could not be fetched
    Unreadable,   // the page arrived but carries no version number
    NewerVersion, // the published version is newer than the installed one
    UpToDate,     // the published version is the installed one or older
};

// What the text of the update page means for the installed version; no text means the page
// could not be fetched.
UpdateOutcome decideUpdate(const std::optional<std::string>& text, const Version& installed);

// What a page that arrived means: only a success status with a body of text within the bound
// can carry a version.
UpdateOutcome decideUpdatePage(int statusCode, const std::string& body, std::size_t maxBodyBytes,
                               const Version& installed);

} // namespace corvane
