#include "core/update/Version.h"

#include <algorithm>

namespace corvane {

namespace {

bool isSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

} // namespace

std::optional<Version> Version::parseLeading(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) {
        text.remove_prefix(kByteOrderMark.size());
    }
    std::size_t at = 0;
    while (at < text.size() && isSpace(text[at])) {
        ++at;
    }
    Version version;
    while (true) {
        const std::size_t start = at;
        while (at < text.size() && isDigit(text[at])) {
            ++at;
        }
        if (at == start) {
            return std::nullopt; // no digits where a component must be
        }
        std::string_view digits = text.substr(start, at - start);
        const std::size_t firstNonZero = digits.find_first_not_of('0');
        version.m_components.emplace_back(firstNonZero == std::string_view::npos
                                              ? std::string_view()
                                              : digits.substr(firstNonZero));
        if (at < text.size() && text[at] == '.') {
            ++at;
            continue;
        }
        break;
    }
    if (at < text.size() && !isSpace(text[at])) {
        return std::nullopt;
    }
    return version;
}

std::strong_ordering Version::operator<=>(const Version& other) const {
    const std::size_t count = std::max(m_components.size(), other.m_components.size());
    static const std::string zero;
    for (std::size_t i = 0; i < count; ++i) {
        const std::string& mine = i < m_components.size() ? m_components[i] : zero;
        const std::string& theirs = i < other.m_components.size() ? other.m_components[i] : zero;
        if (mine.size() != theirs.size()) {
            return mine.size() <=> theirs.size();
        }
        if (const int order = mine.compare(theirs); order != 0) {
            return order <=> 0;
        }
    }
    return std::strong_ordering::equal;
}

} // namespace corvane
