#pragma once

#include <nlohmann/json_fwd.hpp>
#include <streambuf>
#include <string>
#include <string_view>
#include <vector>

namespace corvane::cli {

// Standard output for scripts: written with write(2) so that a failed write (a full disk, a
// closed pipe, a closed descriptor) is known with its reason, and nothing after it is tried.
class DescriptorOutput : public std::streambuf {
public:
    explicit DescriptorOutput(int fd);
    DescriptorOutput(const DescriptorOutput&) = delete;
    DescriptorOutput& operator=(const DescriptorOutput&) = delete;

    // The errno of the first failed write, 0 while every write succeeded.
    int error() const { return m_error; }

protected:
    int_type overflow(int_type c) override;
    std::streamsize xsputn(const char* text, std::streamsize count) override;
    int sync() override;

private:
    void writeOut(const char* text, std::size_t count);

    int m_fd;
    int m_error = 0;
    std::string m_pending;
};

// The path as `ls --quoting-style=shell-escape` prints a name: unchanged unless it holds a
// control character or bytes that are not UTF-8, else quoted so that a shell reads it back.
std::string shellEscaped(std::string_view path);

// The argument as one word a shell reads back: as it is when it holds only plain characters,
// else in single quotes.
std::string shellWord(std::string_view argument);

// A path in a JSON document: {"path": ...}, with "path_hex" holding the exact bytes beside the
// readable "path" when the name is not UTF-8.
nlohmann::json jsonPath(const std::string& path);
// Each path as jsonPath writes it, in a JSON array.
nlohmann::json jsonPaths(const std::vector<std::string>& paths);

// The document as one line of JSON followed by a newline.
std::string jsonLine(const nlohmann::json& document);

} // namespace corvane::cli
