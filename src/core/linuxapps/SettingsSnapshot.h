#pragma once

#include "ports/SettingsDatabase.h"

#include <functional>

namespace corvane {

// Dumps the folder, then resets it. The database cannot reset "only if unchanged", so the folder
// is dumped until two dumps in a row agree (at most `maxDumps` times) and the reset follows the
// last one at once; a folder that keeps changing is an error and stays as it is. `keep`, when
// given, is handed the dump before the reset, which happens only when it succeeds and a read
// after it still agrees; otherwise the folder is dumped again and a later dump handed over.
Result<SettingsValues> dumpThenReset(SettingsDatabase& database, const SettingsFolder& folder,
                                     int maxDumps = 4,
                                     const std::function<Status(const SettingsValues&)>& keep = {});

// Puts a recorded dump back as one change (the folder reset, then its keys) and checks that a
// fresh dump equals the record; the error names the keys that differ.
Status restoreSettings(SettingsDatabase& database, const SettingsFolder& folder,
                       const SettingsValues& recorded);

} // namespace corvane
