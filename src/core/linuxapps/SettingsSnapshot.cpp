#include "core/linuxapps/SettingsSnapshot.h"

namespace corvane {

namespace {

std::vector<std::string> differingKeys(const SettingsValues& a, const SettingsValues& b) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : a) {
        const auto other = b.find(key);
        if (other == b.end() || other->second != value) {
            keys.push_back(key);
        }
    }
    for (const auto& [key, value] : b) {
        if (a.count(key) == 0) {
            keys.push_back(key);
        }
    }
    return keys;
}

} // namespace

Result<SettingsValues> dumpThenReset(SettingsDatabase& database, const SettingsFolder& folder,
                                     int maxDumps,
                                     const std::function<Status(const SettingsValues&)>& keep) {
    Result<SettingsValues> previous = database.dump(folder);
    if (!previous) {
        return previous;
    }
    for (int dumps = 1; dumps < maxDumps; ++dumps) {
        Result<SettingsValues> current = database.dump(folder);
        if (!current) {
            return current;
        }
        if (*current == *previous) {
            if (keep) {
                if (Status kept = keep(*current); !kept) {
                    return kept.error();
                }
                // Keeping it took a write to the disk: the reset follows a read that still
                // agrees with what was kept, or the folder is read again.
                Result<SettingsValues> after = database.dump(folder);
                if (!after) {
                    return after;
                }
                if (*after != *current) {
                    previous = std::move(after);
                    continue;
                }
            }
            if (Status reset = database.replace(folder, {}); !reset) {
                return reset.error();
            }
            return current;
        }
        previous = std::move(current);
    }
    return Error{"the settings in " + folder.path + " kept changing while they were read; " +
                 "they were left as they are"};
}

Status restoreSettings(SettingsDatabase& database, const SettingsFolder& folder,
                       const SettingsValues& recorded) {
    if (Status written = database.replace(folder, recorded); !written) {
        return written;
    }
    Result<SettingsValues> fresh = database.dump(folder);
    if (!fresh) {
        return fresh.error();
    }
    const std::vector<std::string> keys = differingKeys(recorded, *fresh);
    if (keys.empty()) {
        return Done{};
    }
    std::string list;
    for (const std::string& key : keys) {
        list += (list.empty() ? "" : ", ") + key;
    }
    return Error{"after the restore of " + folder.path +
                 " these keys differ from the record: " + list};
}

} // namespace corvane
