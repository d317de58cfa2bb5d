#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace corvane::cli {

// One option: its names (a one-letter name is written -x, a longer one --name), what the help
// says of it, and the name of its value in the help, empty when it takes none.
struct OptionSpec {
    std::vector<std::string> names;
    std::string description;
    std::string valueName;
};

// Reads a command line as Qt's QCommandLineParser does in its default modes, without loading
// Qt: --name, --name=VALUE and --name VALUE; -abc as -a -b -c, where an option that takes a
// value takes the rest (-oVALUE, -o=VALUE) or the next argument; "--" makes every later argument
// positional, a lone "-" is one. Its errors and help text are Qt's word for word. Arguments are
// bytes, never converted.
class OptionParser {
public:
    void setDescription(std::string description) { description_ = std::move(description); }
    void addOption(OptionSpec option) { options_.push_back(std::move(option)); }
    // `syntax` stands for the argument in the usage line, its name when empty.
    void addPositional(std::string name, std::string description, std::string syntax) {
        positionalHelp_.push_back({std::move(name), std::move(description), std::move(syntax)});
    }

    // Reads the arguments after the first (the program); false when errorText() says what
    // was wrong.
    bool parse(const std::vector<std::string>& arguments);
    std::string errorText() const;

    // By any of the option's names.
    bool isSet(std::string_view name) const;
    // The last value given, or an empty string.
    std::string value(std::string_view name) const;
    const std::vector<std::string>& positional() const { return positional_; }

    // The usage line, the description, the options and the positional arguments, each
    // description wrapped beside its names.
    std::string helpText(std::string_view program) const;

private:
    struct Positional {
        std::string name;
        std::string description;
        std::string syntax;
    };
    static constexpr std::size_t kNone = static_cast<std::size_t>(-1);
    std::size_t find(std::string_view name) const;
    // Marks the option named as given; an unknown name is kept for the error.
    std::size_t found(std::string_view name);
    // The value `option` takes from `argument` after "=", or from the next argument.
    bool takeValue(std::size_t option, const std::string& argument,
                   const std::vector<std::string>& arguments, std::size_t& index);
    bool takeCompacted(const std::string& argument, const std::vector<std::string>& arguments,
                       std::size_t& index);

    std::string description_;
    std::vector<OptionSpec> options_;
    std::vector<Positional> positionalHelp_;
    std::vector<bool> set_;
    std::vector<std::vector<std::string>> values_;
    std::vector<std::string> positional_;
    std::vector<std::string> unknown_;
    std::string valueError_;
};

} // namespace corvane::cli
