#include "support/Records.h"

#include <stdexcept>
#include <sys/stat.h>

namespace corvane::testing {

std::optional<ResetRecord> latestRecordIn(const std::string& library) {
    LatestRecord latest = ResetRecords(ResetRecords::folderIn(library)).latest();
    if (ResetRecord* record = std::get_if<ResetRecord>(&latest)) {
        return std::move(*record);
    }
    return std::nullopt;
}

TrashedEntry trashEntry(Trash& trash, const std::string& path) {
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        throw std::runtime_error("nothing to trash at " + path);
    }
    Result<TrashSlot> slot = trash.reserve(path);
    if (!slot) {
        throw std::runtime_error("no place in the Trash for " + path + ": " + slot.error().reason);
    }
    Result<std::string> moved = trash.moveInto(*slot);
    if (!moved) {
        throw std::runtime_error("could not trash " + path + ": " + moved.error().reason);
    }
    return {path, *moved, slot->identity, std::nullopt};
}

} // namespace corvane::testing
