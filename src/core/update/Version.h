#pragma once

#include <compare>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace corvane {

// A dotted version number such as 1.4 or 1.10.2, compared component by component: 1.10 is
// newer than 1.9, and 1.4 equals 1.4.0.
class Version {
public:
    // Reads the version number at the start of `text`, after any white space (and a byte order
    // mark). The number must be followed by white space or the end of the text: "1.5 is out"
    // reads 1.5, while "v1.5", "1.5beta", "1.5." and "<html>" are no version.
    static std::optional<Version> parseLeading(std::string_view text);

    std::strong_ordering operator<=>(const Version& other) const;
    bool operator==(const Version& other) const {
        return (*this <=> other) == std::strong_ordering::equal;
    }

private:
    // Each component's digits without leading zeros ("" for zero), so that components of any
    // length compare without overflow.
    std::vector<std::string> m_components;
};

} // namespace corvane
