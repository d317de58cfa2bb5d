#pragma once

#include "platform/Trash.h"

#include <optional>
#include <string>

namespace corvane {

// The user's own Trash on a freedesktop desktop: $XDG_DATA_HOME/Trash, the data home being
// ~/.local/share unless $XDG_DATA_HOME names an absolute folder. Trashed items lie directly in
// its "files" folder, each with NAME.trashinfo in its "info" folder. Moving an item in is left
// to the toolkit; this holds what the toolkit does not offer: checking where an item lies and
// putting it back.
class HomeTrash {
public:
    // None when the environment gives no absolute home.
    static std::optional<HomeTrash> locate();

    const std::string& dataHome() const { return m_dataHome; }
    std::string filesFolder() const { return m_dataHome + "/Trash/files"; }

    // Makes the data home and the folders above it that are missing, each readable by the
    // user alone; true when it is a folder afterwards.
    bool makeDataHome() const;

    // True when the path names an entry directly inside the files folder (by its text; it need
    // not exist).
    bool isTrashedPath(const std::string& path) const;

    // Moves the trashed item back without ever replacing what is at `originalPath` unless
    // `mode` allows it, then removes its information file.
    PutBackOutcome putBack(const std::string& trashedPath, const std::string& originalPath,
                           PutBackMode mode) const;

    // Removes the information file of a trashed item whose files folder is `filesFolder`.
    static void forgetTrashed(const std::string& filesFolder, const std::string& name);

private:
    explicit HomeTrash(std::string dataHome) : m_dataHome(std::move(dataHome)) {}
    std::string m_dataHome;
};

} // namespace corvane
