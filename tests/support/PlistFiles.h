#pragma once

#include <cstddef>
#include <map>
#include <string>
#include <vector>

namespace corvane::testing {

// Writes binary property lists byte by byte, so that tests can make files no plist library
// would write: nested far too deep, or sharing one object from many places.
class BinaryPlistBuilder {
public:
    std::size_t string(const std::string& ascii);
    std::size_t integer(unsigned value);
    std::size_t array(std::vector<std::size_t> items);
    std::size_t dict(std::vector<std::pair<std::size_t, std::size_t>> entries);
    // The index the next object gets.
    std::size_t count() const { return m_objects.size(); }

    std::string build(std::size_t top) const;

private:
    struct Object {
        char kind; // 's', 'i', 'a', 'd'
        std::string text;
        unsigned value = 0;
        std::vector<std::size_t> refs; // for a dict: the keys, then the values
    };
    std::vector<Object> m_objects;
};

using PlistValues = std::map<std::string, std::string>;

// An Info.plist holding the string values, as XML or in the binary format.
std::string xmlInfoPlist(const PlistValues& values);
std::string binaryInfoPlist(const PlistValues& values);

// A binary Info.plist with a valid identifier and an array nested `depth` levels deep.
std::string deeplyNestedInfoPlist(const std::string& identifier, std::size_t depth);

// Creates `<folder>/<name>/Contents/Info.plist` with the content; returns the bundle's path.
std::string makeBundle(const std::string& folder, const std::string& name,
                       const std::string& infoPlist);

} // namespace corvane::testing
