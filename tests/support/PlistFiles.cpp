#include "support/PlistFiles.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace corvane::testing {

namespace {

void appendBigEndian(std::string& out, std::uint64_t value, std::size_t bytes) {
    for (std::size_t i = bytes; i > 0; --i) {
        out += static_cast<char>((value >> (8 * (i - 1))) & 0xFF);
    }
}

std::size_t bytesFor(std::uint64_t value) {
    return value < 0x100 ? 1 : value < 0x10000 ? 2 : value < 0x100000000 ? 4 : 8;
}

// A marker byte with the count in its low nibble, or 0xF and an integer object after it.
void appendMarker(std::string& out, unsigned char high, std::size_t count) {
    if (count < 15) {
        out += static_cast<char>(high | count);
        return;
    }
    out += static_cast<char>(high | 0x0F);
    out += static_cast<char>(0x12); // a 4-byte integer follows
    appendBigEndian(out, count, 4);
}

std::string escapeXml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
        case '&':
            out += "&amp;";
            break;
        case '<':
            out += "&lt;";
            break;
        case '>':
            out += "&gt;";
            break;
        default:
            out += c;
        }
    }
    return out;
}

} // namespace

std::size_t BinaryPlistBuilder::string(const std::string& ascii) {
    m_objects.push_back({'s', ascii, 0, {}});
    return m_objects.size() - 1;
}

std::size_t BinaryPlistBuilder::integer(unsigned value) {
    m_objects.push_back({'i', {}, value, {}});
    return m_objects.size() - 1;
}

std::size_t BinaryPlistBuilder::array(std::vector<std::size_t> items) {
    m_objects.push_back({'a', {}, 0, std::move(items)});
    return m_objects.size() - 1;
}

std::size_t BinaryPlistBuilder::dict(std::vector<std::pair<std::size_t, std::size_t>> entries) {
    Object object{'d', {}, 0, {}};
    for (const auto& entry : entries) {
        object.refs.push_back(entry.first);
    }
    for (const auto& entry : entries) {
        object.refs.push_back(entry.second);
    }
    m_objects.push_back(std::move(object));
    return m_objects.size() - 1;
}

std::string BinaryPlistBuilder::build(std::size_t top) const {
    const std::size_t refSize = bytesFor(m_objects.size());
    std::string out = "bplist00";
    std::vector<std::uint64_t> offsets;
    for (const Object& object : m_objects) {
        offsets.push_back(out.size());
        switch (object.kind) {
        case 's':
            appendMarker(out, 0x50, object.text.size());
            out += object.text;
            break;
        case 'i':
            out += static_cast<char>(0x12);
            appendBigEndian(out, object.value, 4);
            break;
        case 'a':
            appendMarker(out, 0xA0, object.refs.size());
            for (const std::size_t ref : object.refs) {
                appendBigEndian(out, ref, refSize);
            }
            break;
        case 'd':
            appendMarker(out, 0xD0, object.refs.size() / 2);
            for (const std::size_t ref : object.refs) {
                appendBigEndian(out, ref, refSize);
            }
            break;
        default:
            throw std::logic_error("unknown object kind");
        }
    }
    const std::uint64_t offsetTable = out.size();
    const std::size_t offsetSize = bytesFor(offsetTable);
    for (const std::uint64_t offset : offsets) {
        appendBigEndian(out, offset, offsetSize);
    }
    out.append(6, '\0');
    out += static_cast<char>(offsetSize);
    out += static_cast<char>(refSize);
    appendBigEndian(out, m_objects.size(), 8);
    appendBigEndian(out, top, 8);
    appendBigEndian(out, offsetTable, 8);
    return out;
}

std::string xmlInfoPlist(const PlistValues& values) {
    std::string out = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
                      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
                      "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
                      "<plist version=\"1.0\">\n<dict>\n";
    for (const auto& [key, value] : values) {
        out += "\t<key>" + escapeXml(key) + "</key>\n\t<string>" + escapeXml(value) + "</string>\n";
    }
    return out + "</dict>\n</plist>\n";
}

std::string binaryInfoPlist(const PlistValues& values) {
    BinaryPlistBuilder builder;
    std::vector<std::pair<std::size_t, std::size_t>> entries;
    for (const auto& [key, value] : values) {
        const std::size_t keyRef = builder.string(key);
        entries.emplace_back(keyRef, builder.string(value));
    }
    const std::size_t top = builder.dict(entries);
    return builder.build(top);
}

std::string deeplyNestedInfoPlist(const std::string& identifier, std::size_t depth) {
    BinaryPlistBuilder builder;
    const std::size_t top = builder.dict({{1, 2}, {3, 4}});
    builder.string("CFBundleIdentifier");
    builder.string(identifier);
    builder.string("Nested");
    // Each array holds the next one; the last is empty.
    for (std::size_t level = 0; level < depth; ++level) {
        const std::size_t self = builder.count();
        builder.array(level + 1 < depth ? std::vector<std::size_t>{self + 1}
                                        : std::vector<std::size_t>{});
    }
    return builder.build(top);
}

std::string makeBundle(const std::string& folder, const std::string& name,
                       const std::string& infoPlist) {
    const std::filesystem::path bundle = std::filesystem::path(folder) / name;
    std::filesystem::create_directories(bundle / "Contents");
    std::ofstream(bundle / "Contents" / "Info.plist", std::ios::binary) << infoPlist;
    return bundle.string();
}

} // namespace corvane::testing
