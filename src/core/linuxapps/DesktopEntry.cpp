#include "core/linuxapps/DesktopEntry.h"

#include "core/linuxapps/KeyFile.h"

namespace corvane {

namespace {

const std::string kGroup = "Desktop Entry";

} // namespace

Result<DesktopEntry> parseDesktopEntry(std::string_view text) {
    const KeyFile file = KeyFile::parse(text);
    if (!file.hasGroup(kGroup)) {
        return Error{"it has no [Desktop Entry] group"};
    }
    DesktopEntry entry;
    entry.hidden = file.isTrue(kGroup, "Hidden");
    if (entry.hidden) {
        return entry;
    }
    const std::optional<std::string> type = file.value(kGroup, "Type");
    if (type != "Application") {
        return Error{type ? "its Type is " + *type + ", not Application" : "it has no Type"};
    }
    const std::optional<std::string> name = file.value(kGroup, "Name");
    if (!name || name->empty()) {
        return Error{"it has no Name"};
    }
    entry.name = *name;
    entry.icon = file.value(kGroup, "Icon").value_or("");
    entry.execProgram = execProgram(file.value(kGroup, "Exec").value_or(""));
    entry.tryExec = file.value(kGroup, "TryExec");
    entry.flatpakId = file.value(kGroup, "X-Flatpak");
    if (entry.flatpakId && entry.flatpakId->empty()) {
        entry.flatpakId.reset();
    }
    entry.noDisplay = file.isTrue(kGroup, "NoDisplay");
    return entry;
}

std::optional<std::string> desktopFileId(std::string_view relativePath) {
    constexpr std::string_view suffix = ".desktop";
    if (relativePath.size() <= suffix.size() ||
        relativePath.substr(relativePath.size() - suffix.size()) != suffix) {
        return std::nullopt;
    }
    std::string id(relativePath.substr(0, relativePath.size() - suffix.size()));
    for (char& c : id) {
        if (c == '/') {
            c = '-';
        }
    }
    return id;
}

std::string execProgram(std::string_view exec) {
    std::size_t i = 0;
    while (i < exec.size() && exec[i] == ' ') {
        ++i;
    }
    std::string program;
    if (i < exec.size() && exec[i] == '"') {
        // Inside quotes a backslash escapes '"', '`', '$' and '\'.
        for (++i; i < exec.size() && exec[i] != '"'; ++i) {
            if (exec[i] == '\\' && i + 1 < exec.size()) {
                ++i;
            }
            program += exec[i];
        }
        return program;
    }
    for (; i < exec.size() && exec[i] != ' '; ++i) {
        program += exec[i];
    }
    return program;
}

} // namespace corvane
