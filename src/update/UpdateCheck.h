#pragma once

#include "platform/Network.h"
#include "update/Version.h"

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

// What the text of the update page means for the installed version. No text, or a text that
// contains the failure marker "No connection", means no connection.
UpdateOutcome decideUpdate(const std::optional<std::string>& text, const Version& installed);

} // namespace corvane
