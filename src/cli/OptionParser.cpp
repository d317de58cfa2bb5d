#include "cli/OptionParser.h"

#include <algorithm>
#include <optional>

namespace corvane::cli {

namespace {

// The bytes of the UTF-8 character at `at`; a byte that begins none is a character of its own.
std::size_t characterLength(std::string_view text, std::size_t at) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 1;
    if (lead >= 0xC2 && lead < 0xE0) {
        length = 2;
    } else if (lead >= 0xE0 && lead < 0xF0) {
        length = 3;
    } else if (lead >= 0xF0 && lead < 0xF5) {
        length = 4;
    }
    if (at + length > text.size()) {
        return 1;
    }
    for (std::size_t next = at + 1; next < at + length; ++next) {
        if ((static_cast<unsigned char>(text[next]) & 0xC0) != 0x80) {
            return 1;
        }
    }
    return length;
}

std::vector<std::string_view> charactersOf(std::string_view text) {
    std::vector<std::string_view> characters;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t length = characterLength(text, at);
        characters.push_back(text.substr(at, length));
        at += length;
    }
    return characters;
}

std::string joined(const std::vector<std::string_view>& characters, std::size_t from,
                   std::size_t to) {
    std::string text;
    for (std::size_t at = from; at < to && at < characters.size(); ++at) {
        text += characters[at];
    }
    return text;
}

// White space as Qt's QChar::isSpace sees it: the ASCII controls, NEL and Unicode's separators.
bool isBlank(std::string_view character) {
    static const std::string_view wide[] = {"\u0085", "\u00A0", "\u1680", "\u2000", "\u2001",
                                            "\u2002", "\u2003", "\u2004", "\u2005", "\u2006",
                                            "\u2007", "\u2008", "\u2009", "\u200A", "\u2028",
                                            "\u2029", "\u202F", "\u205F", "\u3000"};
    if (character.size() == 1) {
        return character[0] == ' ' || (character[0] >= '\t' && character[0] <= '\r');
    }
    return std::find(std::begin(wide), std::end(wide), character) != std::end(wide);
}

constexpr std::size_t kLineWidth = 79;
constexpr std::string_view kIndent = "  ";
constexpr std::size_t kWidestNames = 50;

// One entry of the help: `names` in a column `width` characters wide (cut into pieces of that
// width when longer), the description wrapped beside it at its last blank that fits, a word
// longer than a line cut. This follows Qt's layout to the character: the first character of a
// continued line is not counted, so such a line may be one character longer than the first.
std::string layOut(std::string_view names, std::size_t width, std::string_view description) {
    const std::vector<std::string_view> name = charactersOf(names);
    std::size_t nameShown = 0;
    const auto nameColumn = [&](bool padded) {
        const std::size_t end = std::min(name.size(), nameShown + width);
        std::string column = joined(name, nameShown, end);
        if (padded) {
            column.append(width - (end - nameShown), ' ');
        }
        nameShown = end;
        return std::string(kIndent) + column;
    };

    const std::vector<std::string_view> text = charactersOf(description);
    const std::size_t room = kLineWidth - (kIndent.size() + width + 1);
    std::string entry;
    std::size_t lineStart = 0;
    std::size_t counted = 0;
    std::optional<std::size_t> lastBlank;
    for (std::size_t at = 0; at < text.size(); ++at) {
        ++counted;
        if (isBlank(text[at])) {
            lastBlank = at;
        }
        std::size_t lineEnd = 0;
        std::size_t nextStart = 0;
        if (counted > room && lastBlank) {
            lineEnd = *lastBlank;
            nextStart = lineEnd + 1;
        } else if ((counted >= room && !lastBlank) || at + 1 == text.size()) {
            lineEnd = at + 1;
            nextStart = lineEnd;
        } else if (text[at] == "\n") {
            lineEnd = at;
            nextStart = at + 1;
        } else {
            continue;
        }
        entry += nameColumn(true) + ' ' + joined(text, lineStart, lineEnd) + '\n';
        lineStart = nextStart < text.size() && isBlank(text[nextStart]) ? nextStart + 1 : nextStart;
        counted = 0;
        lastBlank.reset();
        at = lineStart;
    }
    while (nameShown < name.size()) {
        entry += nameColumn(false) + '\n';
    }
    return entry;
}

} // namespace

std::size_t OptionParser::find(std::string_view name) const {
    for (std::size_t option = 0; option < options_.size(); ++option) {
        const std::vector<std::string>& names = options_[option].names;
        if (std::find(names.begin(), names.end(), name) != names.end()) {
            return option;
        }
    }
    return kNone;
}

std::size_t OptionParser::found(std::string_view name) {
    const std::size_t option = find(name);
    if (option == kNone) {
        unknown_.emplace_back(name);
    } else {
        set_[option] = true;
    }
    return option;
}

bool OptionParser::takeValue(std::size_t option, const std::string& argument,
                             const std::vector<std::string>& arguments, std::size_t& index) {
    const std::size_t assign = argument.find('=');
    if (options_[option].valueName.empty()) {
        if (assign != std::string::npos) {
            valueError_ = "Unexpected value after '" + argument.substr(0, assign) + "'.";
            return false;
        }
        return true;
    }
    if (assign != std::string::npos) {
        values_[option].push_back(argument.substr(assign + 1));
    } else if (index + 1 < arguments.size()) {
        values_[option].push_back(arguments[++index]);
    } else {
        valueError_ = "Missing value after '" + argument + "'.";
        return false;
    }
    return true;
}

// "-abc": each character an option until one that takes a value, which takes the rest; an
// "=" after an option that takes none ends the run, and the option before it is told of it.
bool OptionParser::takeCompacted(const std::string& argument,
                                 const std::vector<std::string>& arguments, std::size_t& index) {
    bool ok = true;
    std::size_t last = kNone;
    for (std::size_t at = 1; at < argument.size();) {
        const std::size_t length = characterLength(argument, at);
        last = found(std::string_view(argument).substr(at, length));
        at += length;
        if (last == kNone) {
            ok = false;
            continue;
        }
        const bool more = at < argument.size();
        if (!options_[last].valueName.empty()) {
            if (!more) {
                break;
            }
            values_[last].push_back(argument.substr(argument[at] == '=' ? at + 1 : at));
            return ok;
        }
        if (more && argument[at] == '=') {
            break;
        }
    }
    if (last != kNone && !takeValue(last, argument, arguments, index)) {
        ok = false;
    }
    return ok;
}

bool OptionParser::parse(const std::vector<std::string>& arguments) {
    set_.assign(options_.size(), false);
    values_.assign(options_.size(), {});
    positional_.clear();
    unknown_.clear();
    valueError_.clear();
    bool ok = true;
    bool optionsEnded = false;
    for (std::size_t index = 1; index < arguments.size(); ++index) {
        const std::string& argument = arguments[index];
        if (optionsEnded || argument.size() < 2 || argument[0] != '-') {
            positional_.push_back(argument);
        } else if (argument == "--") {
            optionsEnded = true;
        } else if (argument[1] == '-') {
            const std::size_t option = found(argument.substr(2, argument.find('=') - 2));
            if (option == kNone || !takeValue(option, argument, arguments, index)) {
                ok = false;
            }
        } else if (!takeCompacted(argument, arguments, index)) {
            ok = false;
        }
    }
    return ok;
}

std::string OptionParser::errorText() const {
    if (!valueError_.empty()) {
        return valueError_;
    }
    if (unknown_.size() == 1) {
        return "Unknown option '" + unknown_.front() + "'.";
    }
    if (unknown_.empty()) {
        return {};
    }
    std::string list = unknown_.front();
    for (std::size_t name = 1; name < unknown_.size(); ++name) {
        list += ", " + unknown_[name];
    }
    return "Unknown options: " + list + ".";
}

bool OptionParser::isSet(std::string_view name) const {
    const std::size_t option = find(name);
    return option != kNone && option < set_.size() && set_[option];
}

std::string OptionParser::value(std::string_view name) const {
    const std::size_t option = find(name);
    if (option == kNone || option >= values_.size() || values_[option].empty()) {
        return {};
    }
    return values_[option].back();
}

std::string OptionParser::helpText(std::string_view program) const {
    std::string usage(program);
    if (!options_.empty()) {
        usage += " [options]";
    }
    for (const Positional& argument : positionalHelp_) {
        usage += ' ' + (argument.syntax.empty() ? argument.name : argument.syntax);
    }
    std::string text = "Usage: " + usage + '\n';
    if (!description_.empty()) {
        text += description_ + '\n';
    }
    text += '\n';

    std::vector<std::string> names;
    std::size_t width = 0;
    for (const OptionSpec& option : options_) {
        std::string written;
        for (const std::string& name : option.names) {
            const bool letter = charactersOf(name).size() == 1;
            written += (written.empty() ? "" : ", ") + std::string(letter ? "-" : "--") + name;
        }
        if (!option.valueName.empty()) {
            written += " <" + option.valueName + '>';
        }
        width = std::max(width, charactersOf(written).size());
        names.push_back(std::move(written));
    }
    width = std::min(kWidestNames, width + 1);
    if (!options_.empty()) {
        text += "Options:\n";
    }
    for (std::size_t option = 0; option < options_.size(); ++option) {
        text += layOut(names[option], width, options_[option].description);
    }
    if (!positionalHelp_.empty()) {
        text += options_.empty() ? "Arguments:\n" : "\nArguments:\n";
        for (const Positional& argument : positionalHelp_) {
            text += layOut(argument.name, width, argument.description);
        }
    }
    return text;
}

} // namespace corvane::cli
