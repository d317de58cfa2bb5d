#include "cli/OptionParser.h"

#include <algorithm>
#include <gtest/gtest.h>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace corvane::cli {
namespace {

const std::vector<OptionSpec> kOptions = {
    {{"y", "yes"}, "Goes ahead.", ""},
    {{"q", "quiet"}, "Says less.", ""},
    {{"only"}, "Takes a list.", "KINDS"},
    {{"o"}, "A letter with a value.", "V"},
};

struct ParseCase {
    std::vector<std::string> arguments;
    std::string error;            // empty when the arguments are good
    std::vector<std::string> set; // each option given, by its first name
    std::vector<std::pair<std::string, std::string>> values;
    std::vector<std::string> positional;
};

TEST(OptionParser, ReadsOptionsValuesAndPositionalArgumentsAsQtDoes) {
    const std::vector<ParseCase> cases = {
        {{"--yes", "a", "-q"}, "", {"y", "q"}, {}, {"a"}},
        {{"-yq"}, "", {"y", "q"}, {}, {}},
        {{"--only=a,b"}, "", {"only"}, {{"only", "a,b"}}, {}},
        {{"--only", "-y", "--only", "last"}, "", {"only"}, {{"only", "last"}}, {}},
        {{"-oVALUE"}, "", {"o"}, {{"o", "VALUE"}}, {}},
        {{"-yo=v"}, "", {"y", "o"}, {{"o", "v"}}, {}},
        {{"-yo", "--"}, "", {"y", "o"}, {{"o", "--"}}, {}},
        {{"--", "--yes", "-"}, "", {}, {}, {"--yes", "-"}},
        {{"-", "", "\xff\xfe.app"}, "", {}, {}, {"-", "", "\xff\xfe.app"}},
        {{"--bogus=1"}, "Unknown option 'bogus'.", {}, {}, {}},
        {{"-yx", "-z"}, "Unknown options: x, z.", {"y"}, {}, {}},
        {{"-x=1"}, "Unknown options: x, =, 1.", {}, {}, {}},
        {{"--=v", "--bogus"}, "Unknown options: , bogus.", {}, {}, {}},
        {{"-\xc3\xa9"}, "Unknown option '\xc3\xa9'.", {}, {}, {}},
        {{"--only"}, "Missing value after '--only'.", {}, {}, {}},
        {{"-yo"}, "Missing value after '-yo'.", {"y"}, {}, {}},
        {{"--yes=1"}, "Unexpected value after '--yes'.", {}, {}, {}},
        {{"-x", "-qy=1"}, "Unexpected value after '-qy'.", {"q"}, {}, {}},
    };
    for (const ParseCase& c : cases) {
        std::vector<std::string> arguments = {"program"};
        arguments.insert(arguments.end(), c.arguments.begin(), c.arguments.end());
        OptionParser parser;
        for (const OptionSpec& option : kOptions) {
            parser.addOption(option);
        }
        SCOPED_TRACE(arguments[1]);
        EXPECT_EQ(parser.parse(arguments), c.error.empty());
        EXPECT_EQ(parser.errorText(), c.error);
        EXPECT_EQ(parser.positional(), c.positional);
        if (!c.error.empty()) {
            continue;
        }
        for (const OptionSpec& option : kOptions) {
            const bool given =
                std::find(c.set.begin(), c.set.end(), option.names.front()) != c.set.end();
            for (const std::string& name : option.names) {
                EXPECT_EQ(parser.isSet(name), given) << name;
            }
        }
        for (const auto& [name, value] : c.values) {
            EXPECT_EQ(parser.value(name), value) << name;
        }
    }
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

// Descriptions beside a names column 47 wide leave 29 characters a line; a continued line
// may take 30, as Qt's does.
TEST(OptionParser, WrapsEachDescriptionBesideItsNamesAsQtDoes) {
    const std::string names = "a-name-of-forty-five-characters-to-narrow-it";
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"one two three four five six seven eight", {"one two three four five six", "seven eight"}},
        {"one two three four five sixty abcdefghi abcdefghi abcdefghij end",
         {"one two three four five sixty", "abcdefghi abcdefghi abcdefghij", "end"}},
        {"abcdefghijabcdefghijabcdefghijabcdefghij",
         {"abcdefghijabcdefghijabcdefghi", "jabcdefghij"}},
        {"one\ntwo", {"one", "two"}},
        {"", {""}},
    };
    for (const auto& [description, wrapped] : cases) {
        OptionParser parser;
        parser.addOption({{names}, description, ""});
        const std::vector<std::string> lines = linesOf(parser.helpText("program"));
        SCOPED_TRACE(description);
        ASSERT_EQ(lines.size(), 3 + wrapped.size());
        EXPECT_EQ(lines[0], "Usage: program [options]");
        EXPECT_EQ(lines[2], "Options:");
        const std::string column = "  --" + names + (description.empty() ? "" : "  ");
        EXPECT_EQ(lines[3], column + wrapped[0]);
        for (std::size_t line = 1; line < wrapped.size(); ++line) {
            EXPECT_EQ(lines[3 + line], std::string(column.size(), ' ') + wrapped[line]);
        }
    }
}

// The column is as wide as the longest names and one more, at most 50; longer names go on
// in lines of their own.
TEST(OptionParser, LinesUpTheNamesValuesAndArgumentsOfTheHelp) {
    const std::string longName(60, 'n');
    OptionParser parser;
    parser.setDescription("About.");
    parser.addOption({{"x", longName}, "Long.", ""});
    parser.addOption({{"b"}, "Takes one.", "V"});
    parser.addPositional("FILE", "A file.", "");
    const std::string names = "-x, --" + longName;
    const std::vector<std::string> expected = {
        "Usage: program [options] FILE",
        "About.",
        "",
        "Options:",
        "  " + names.substr(0, 50) + " Long.",
        "  " + names.substr(50),
        "  -b <V>" + std::string(50 - 6, ' ') + " Takes one.",
        "",
        "Arguments:",
        "  FILE" + std::string(50 - 4, ' ') + " A file.",
    };
    EXPECT_EQ(linesOf(parser.helpText("program")), expected);
}

} // namespace
} // namespace corvane::cli
