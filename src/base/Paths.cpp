#include "base/Paths.h"

#include <cstring>

namespace corvane {

std::size_t lastSlash(std::string_view path) {
#ifdef __GLIBC__
    const void* found = path.empty() ? nullptr : memrchr(path.data(), '/', path.size());
    return found ? static_cast<std::size_t>(static_cast<const char*>(found) - path.data())
                 : std::string_view::npos;
#else
    return path.rfind('/');
#endif
}

namespace {

std::string_view trimmedOfTrailingSlashes(std::string_view path) {
    while (path.size() > 1 && path.back() == '/') {
        path.remove_suffix(1);
    }
    return path;
}

} // namespace

std::string withoutTrailingSlashes(std::string_view path) {
    return std::string(trimmedOfTrailingSlashes(path));
}

std::optional<FolderAndName> folderAndName(std::string_view path) {
    const std::size_t slash = lastSlash(path);
    if (path.empty() || path.front() != '/' || slash == std::string_view::npos ||
        slash + 1 == path.size()) {
        return std::nullopt;
    }
    const std::string_view name = path.substr(slash + 1);
    if (name == "." || name == "..") {
        return std::nullopt;
    }
    return FolderAndName{slash == 0 ? std::string_view("/") : path.substr(0, slash), name};
}

std::string lastPathComponent(std::string_view path) {
    const std::string trimmed = withoutTrailingSlashes(path);
    const std::size_t slash = trimmed.rfind('/');
    return slash == std::string::npos || trimmed == "/" ? trimmed : trimmed.substr(slash + 1);
}

std::string appendPathComponent(const std::string& folder, const std::string& component) {
    if (folder.empty()) {
        return component;
    }
    const std::string_view trimmed = trimmedOfTrailingSlashes(folder);
    std::size_t start = 0;
    while (start < component.size() && component[start] == '/') {
        ++start;
    }
    // Sized once: the analysis joins a path for every entry it lists.
    std::string joined;
    joined.reserve(trimmed.size() + 1 + component.size() - start);
    joined.append(trimmed);
    if (joined != "/") {
        joined += '/';
    }
    joined.append(component, start, std::string::npos);
    return joined;
}

bool isInsideFolder(const std::string& path, const std::string& folder) {
    if (folder == "/") {
        return !path.empty() && path.front() == '/';
    }
    if (path.size() < folder.size() || path.compare(0, folder.size(), folder) != 0) {
        return false;
    }
    return path.size() == folder.size() || path[folder.size()] == '/';
}

std::string pathRelativeTo(const std::string& path, const std::string& folder) {
    if (path == folder || !isInsideFolder(path, folder)) {
        return path;
    }
    return path.substr(folder == "/" ? 1 : folder.size() + 1);
}

std::string parentFolder(const std::string& path) {
    const std::size_t slash = path.rfind('/');
    return slash == 0 || slash == std::string::npos ? std::string("/") : path.substr(0, slash);
}

} // namespace corvane
