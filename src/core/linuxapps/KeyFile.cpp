#include "core/linuxapps/KeyFile.h"

namespace corvane {

namespace {

std::string_view trimmed(std::string_view text) {
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r'; };
    while (!text.empty() && isSpace(text.front())) {
        text.remove_prefix(1);
    }
    while (!text.empty() && isSpace(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string unescaped(std::string_view value) {
    std::string out;
    out.reserve(value.size());
    for (std::size_t i = 0; i < value.size(); ++i) {
        if (value[i] != '\\' || i + 1 == value.size()) {
            out += value[i];
            continue;
        }
        switch (value[++i]) {
        case 's':
            out += ' ';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case 'r':
            out += '\r';
            break;
        case '\\':
            out += '\\';
            break;
        default:
            // Other escapes (\; in lists) are the reader's of that key to interpret.
            out += '\\';
            out += value[i];
            break;
        }
    }
    return out;
}

} // namespace

KeyFile KeyFile::parse(std::string_view text) {
    KeyFile file;
    std::map<std::string, std::string>* group = nullptr;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        const std::string_view line =
            trimmed(end == std::string_view::npos ? text : text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.front() == '[') {
            const std::size_t close = line.find(']');
            if (close == std::string_view::npos) {
                group = nullptr;
                continue;
            }
            const std::string name(line.substr(1, close - 1));
            // A group that appears again is a malformed file; its second copy is not read.
            group = file.m_groups.count(name) != 0 ? nullptr : &file.m_groups[name];
            continue;
        }
        const std::size_t equals = line.find('=');
        if (group == nullptr || equals == std::string_view::npos) {
            continue;
        }
        const std::string key(trimmed(line.substr(0, equals)));
        if (!key.empty()) {
            group->try_emplace(key, unescaped(trimmed(line.substr(equals + 1))));
        }
    }
    return file;
}

std::optional<std::string> KeyFile::value(const std::string& group, const std::string& key) const {
    const auto g = m_groups.find(group);
    if (g == m_groups.end()) {
        return std::nullopt;
    }
    const auto k = g->second.find(key);
    if (k == g->second.end()) {
        return std::nullopt;
    }
    return k->second;
}

bool KeyFile::isTrue(const std::string& group, const std::string& key) const {
    return value(group, key) == "true";
}

} // namespace corvane
