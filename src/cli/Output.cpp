#include "cli/Output.h"

#include "base/RegularFile.h"
#include "base/Text.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <nlohmann/json.hpp>
#include <unistd.h>

namespace corvane::cli {

namespace {
constexpr std::size_t kBatch = std::size_t{64} * 1024;
} // namespace

DescriptorOutput::DescriptorOutput(int fd) : m_fd(fd) {}

void DescriptorOutput::writeOut(const char* text, std::size_t count) {
    if (m_error == 0) {
        m_error = writeAll(m_fd, {text, count});
    }
}

DescriptorOutput::int_type DescriptorOutput::overflow(int_type c) {
    if (!traits_type::eq_int_type(c, traits_type::eof())) {
        m_pending.push_back(traits_type::to_char_type(c));
        if (m_pending.size() >= kBatch) {
            sync();
        }
    }
    return m_error == 0 ? traits_type::not_eof(c) : traits_type::eof();
}

std::streamsize DescriptorOutput::xsputn(const char* text, std::streamsize count) {
    m_pending.append(text, static_cast<std::size_t>(count));
    if (m_pending.size() >= kBatch) {
        sync();
    }
    return m_error == 0 ? count : 0;
}

int DescriptorOutput::sync() {
    writeOut(m_pending.data(), m_pending.size());
    m_pending.clear();
    return m_error == 0 ? 0 : -1;
}

std::string shellEscaped(std::string_view path) {
    const auto isControl = [](unsigned char c) { return c < 0x20 || c == 0x7f; };
    bool plain = isValidUtf8(path);
    for (const char c : path) {
        plain = plain && !isControl(static_cast<unsigned char>(c));
    }
    if (plain) {
        return std::string(path);
    }
    // Printable runs go in single quotes; each other byte as $'\n' or $'\ooo', as ls writes them.
    std::string escaped;
    bool quoted = false;
    const auto closeQuote = [&] {
        if (quoted) {
            escaped += '\'';
            quoted = false;
        }
    };
    std::size_t i = 0;
    while (i < path.size()) {
        const unsigned char c = static_cast<unsigned char>(path[i]);
        std::size_t length = 1;
        if (c >= 0x80) {
            length = c >= 0xf0 ? 4 : c >= 0xe0 ? 3 : c >= 0xc0 ? 2 : 1;
            if (i + length > path.size() || !isValidUtf8(path.substr(i, length))) {
                length = 0;
            }
        } else if (isControl(c)) {
            length = 0;
        }
        if (length == 0) {
            closeQuote();
            escaped += "$'";
            switch (c) {
            case '\n':
                escaped += "\\n";
                break;
            case '\t':
                escaped += "\\t";
                break;
            case '\r':
                escaped += "\\r";
                break;
            default: {
                const char octal[] = {'\\', static_cast<char>('0' + (c >> 6)),
                                      static_cast<char>('0' + ((c >> 3) & 7)),
                                      static_cast<char>('0' + (c & 7))};
                escaped.append(octal, sizeof octal);
            }
            }
            escaped += '\'';
            ++i;
            continue;
        }
        if (c == '\'') {
            closeQuote();
            escaped += "\\'";
            ++i;
            continue;
        }
        if (!quoted) {
            escaped += '\'';
            quoted = true;
        }
        escaped.append(path.substr(i, length));
        i += length;
    }
    closeQuote();
    return escaped;
}

std::string shellWord(std::string_view argument) {
    const bool plain =
        !argument.empty() && std::all_of(argument.begin(), argument.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) ||
                   std::string_view("%+,-./:=@_").find(c) != std::string_view::npos;
        });
    if (plain) {
        return std::string(argument);
    }
    std::string word = "'";
    for (const char c : argument) {
        word += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return word + "'";
}

nlohmann::json jsonPath(const std::string& path) {
    nlohmann::json entry = nlohmann::json::object();
    if (isValidUtf8(path)) {
        entry["path"] = path;
        return entry;
    }
    std::string hex;
    appendHex(hex, path);
    // The readable form keeps every valid part and marks each bad byte with U+FFFD.
    entry["path"] = nlohmann::json::parse(
        nlohmann::json(path).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
    entry["path_hex"] = hex;
    return entry;
}

nlohmann::json jsonPaths(const std::vector<std::string>& paths) {
    nlohmann::json list = nlohmann::json::array();
    for (const std::string& path : paths) {
        list.push_back(jsonPath(path));
    }
    return list;
}

std::string jsonLine(const nlohmann::json& document) {
    return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

} // namespace corvane::cli
