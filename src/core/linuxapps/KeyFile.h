#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace corvane {

// The "key file" text format that desktop entries, Flatpak metadata and Flatpak instance files
// share: [Group] headers, Key=Value lines, '#' comments. Localized keys (Name[fr]) are kept under
// their full name; values are unescaped (\s \n \t \r \\).
class KeyFile {
public:
    // The groups and keys of the text; a repeated group or key keeps its first value, as the
    // readers of these files do.
    static KeyFile parse(std::string_view text);

    bool hasGroup(const std::string& group) const { return m_groups.count(group) != 0; }
    std::optional<std::string> value(const std::string& group, const std::string& key) const;
    // "true" is true, anything else (absent included) false.
    bool isTrue(const std::string& group, const std::string& key) const;

private:
    std::map<std::string, std::map<std::string, std::string>> m_groups;
};

} // namespace corvane
