#pragma once

#include "platform/Trash.h"

namespace corvane {

// The user's Trash through QFile::moveToTrash (the freedesktop home Trash here). Needs QtCore
// alone, so that a front end without widgets can use it too.
class QtTrash : public Trash {
public:
    std::optional<std::string> moveToTrash(const std::string& path) override;
    std::optional<std::string> copyToTrash(const std::string& path) override;
    PutBackOutcome putBack(const std::string& trashedPath, const std::string& originalPath,
                           PutBackMode mode) override;
};

} // namespace corvane
