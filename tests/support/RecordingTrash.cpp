#include "support/RecordingTrash.h"

#include <filesystem>
#include <sys/stat.h>

namespace corvane::testing {

namespace fs = std::filesystem;

namespace {

EntryIdentity identityOf(const struct stat& info, std::string deletionDate) {
    return {info.st_dev, info.st_ino, static_cast<std::uint64_t>(info.st_size),
            static_cast<std::int64_t>(info.st_mtim.tv_sec) * 1'000'000'000 + info.st_mtim.tv_nsec,
            std::move(deletionDate)};
}

} // namespace

std::optional<std::string> RecordingTrash::unavailableReason(const std::string& path) {
    if (refused.contains(path)) {
        return "the test Trash refuses it";
    }
    return std::nullopt;
}

Result<TrashSlot> RecordingTrash::reserve(const std::string& path) {
    std::error_code error;
    fs::create_directories(m_folder, error);
    struct stat info {};
    if (lstat(path.c_str(), &info) != 0) {
        return Error{"nothing there", errno};
    }
    if (events) {
        events->push_back("trash " + path);
    }
    const std::string number = std::to_string(m_counter++);
    return TrashSlot{path, m_folder + "/" + fs::path(path).filename().string() + "." + number,
                     identityOf(info, "test-" + number)};
}

Result<std::string> RecordingTrash::moveInto(const TrashSlot& slot) {
    if (failing.contains(slot.original)) {
        return Error{"the test Trash fails it", EIO};
    }
    std::error_code error;
    fs::rename(slot.original, slot.trashed, error);
    if (error) {
        return Error{error.message(), error.value()};
    }
    moved.push_back(slot.original);
    return slot.trashed;
}

void RecordingTrash::release(const TrashSlot& slot) {
    released.push_back(slot.original);
}

Status RecordingTrash::copyBack(const TrashSlot& slot) {
    std::error_code error;
    fs::copy_file(slot.trashed, slot.original, error);
    if (error) {
        return Error{error.message(), error.value()};
    }
    copied.push_back(slot.original);
    return Done{};
}

TrashedItemState RecordingTrash::examine(const std::string& trashedPath, const std::string&,
                                         const EntryIdentity& identity) {
    if (trashedPath.rfind(m_folder + "/", 0) != 0 ||
        trashedPath.find('/', m_folder.size() + 1) != std::string::npos) {
        return TrashedItemState::Refused;
    }
    struct stat info {};
    if (lstat(trashedPath.c_str(), &info) != 0) {
        return TrashedItemState::Missing;
    }
    return identityOf(info, identity.deletionDate) == identity ? TrashedItemState::Ours
                                                               : TrashedItemState::NotOurs;
}

PutBackOutcome RecordingTrash::putBack(const std::string& trashedPath,
                                       const std::string& originalPath,
                                       const EntryIdentity& identity, PutBackMode mode) {
    putBacks.push_back(originalPath);
    std::error_code error;
    switch (examine(trashedPath, originalPath, identity)) {
    case TrashedItemState::Refused:
        return PutBackOutcome::Refused;
    case TrashedItemState::Missing:
        return PutBackOutcome::Gone;
    case TrashedItemState::NotOurs:
        return PutBackOutcome::NotOurs;
    case TrashedItemState::Ours:
        break;
    }
    if (mode == PutBackMode::KeepWhatIsThere &&
        fs::symlink_status(originalPath, error).type() != fs::file_type::not_found) {
        return PutBackOutcome::Occupied;
    }
    fs::create_directories(fs::path(originalPath).parent_path(), error);
    fs::rename(trashedPath, originalPath, error);
    return error ? PutBackOutcome::Failed : PutBackOutcome::Restored;
}

} // namespace corvane::testing
