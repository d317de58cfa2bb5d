#pragma once

#include "core/fix/ResetRecord.h"

#include <optional>
#include <string>

namespace corvane::testing {

// The newest readable record of the home's Library, none when there is none or it is damaged.
std::optional<ResetRecord> latestRecordIn(const std::string& library);

// Moves the entry to the Trash as a reset does and gives the record's line for it.
TrashedEntry trashEntry(Trash& trash, const std::string& path);

} // namespace corvane::testing
