#include "support/RecordingTrash.h"

#include <filesystem>

namespace corvane::testing {

namespace fs = std::filesystem;

std::optional<std::string> RecordingTrash::place(const std::string& path) {
    std::error_code error;
    fs::create_directories(m_folder, error);
    return m_folder + "/" + fs::path(path).filename().string() + "." + std::to_string(m_counter++);
}

std::optional<std::string> RecordingTrash::moveToTrash(const std::string& path) {
    if (events) {
        events->push_back("trash " + path);
    }
    if (refused.contains(path)) {
        return std::nullopt;
    }
    const std::optional<std::string> target = place(path);
    std::error_code error;
    fs::rename(path, *target, error);
    if (error) {
        return std::nullopt;
    }
    moved.push_back(path);
    return target;
}

std::optional<std::string> RecordingTrash::copyToTrash(const std::string& path) {
    if (refused.contains(path)) {
        return std::nullopt;
    }
    const std::optional<std::string> target = place(path);
    std::error_code error;
    fs::copy_file(path, *target, error);
    if (error) {
        return std::nullopt;
    }
    copied.push_back(path);
    return target;
}

PutBackOutcome RecordingTrash::putBack(const std::string& trashedPath,
                                       const std::string& originalPath, PutBackMode mode) {
    putBacks.push_back(originalPath);
    std::error_code error;
    if (trashedPath.rfind(m_folder + "/", 0) != 0 ||
        trashedPath.find('/', m_folder.size() + 1) != std::string::npos) {
        return PutBackOutcome::Refused;
    }
    if (fs::symlink_status(trashedPath, error).type() == fs::file_type::not_found) {
        return PutBackOutcome::Gone;
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
