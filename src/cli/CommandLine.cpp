#include "cli/CommandLine.h"

#include "BuildInfo.h"
#include "cli/ActionSupport.h"
#include "cli/CommandLineActions.h"
#include "cli/OptionParser.h"
#include "cli/Output.h"
#include "host/HostFacilities.h"

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <string_view>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace corvane::cli {

namespace {

constexpr std::string_view kList = "list";
constexpr std::string_view kJson = "json";
constexpr std::string_view kNull = "null";
constexpr std::string_view kReset = "reset";
constexpr std::string_view kRestore = "restore";
constexpr std::string_view kHistory = "history";
constexpr std::string_view kYes = "yes";
constexpr std::string_view kSafari = "safari";
constexpr std::string_view kNoTrash = "no-trash";
constexpr std::string_view kQuiet = "quiet";
constexpr std::string_view kNoLegend = "no-legend";
constexpr std::string_view kOnly = "only";

void describeCommandLine(OptionParser& parser) {
    parser.setDescription(
        "Returns a misbehaving application to its default settings.\n\n"
        "  corvane [PATH.app | ID]                  opens the window\n"
        "  corvane --list [--safari=MODE] [--only=KINDS] [--json | -0] [-q] TARGET\n"
        "  corvane --reset [--safari=MODE] [--only=KINDS] [-y] [--no-trash] [--json] [-q] "
        "TARGET\n"
        "  corvane --restore [-y] [--json] [-q] [TARGET | RECORD]\n"
        "  corvane --history [--json] [-q] [--no-legend] [ID]\n\n"
        "TARGET is PATH.app or an application identifier (com.example.Widget).\n"
        "--reset and --restore show what they will do and ask on a terminal;\n"
        "without one they need --yes.\n\n"
        "Exit status: 0 done, 1 nothing to do, 2 bad input or usage, 3 partly done\n"
        "(what stayed is named), 4 declined or refused (nothing was changed).\n\n"
        "The window also takes Qt's own options (-style NAME, -platform NAME, ...).");
    const auto add = [&](std::vector<std::string> names, std::string description,
                         std::string valueName = {}) {
        parser.addOption({std::move(names), std::move(description), std::move(valueName)});
    };
    add({"h", "help"}, "Displays this help.");
    add({"v", "version"}, "Displays version information.");
    add({std::string(kList)}, "Prints the full path of every entry a reset would remove.");
    add({std::string(kReset)}, "Moves the entries to the Trash and clears the settings, as Fix "
                               "does in the window.");
    add({std::string(kRestore)}, "Puts back the latest reset, the latest of TARGET, "
                                 "or the reset RECORD.");
    add({std::string(kHistory)}, "Lists the kept resets, newest first (of ID, when given).");
    add({std::string(kNoLegend)}, "With --history: leaves out the heading line.");
    add({std::string(kJson)}, std::string("Prints one JSON object (\"format\": 1; its fields are "
                                          "described in ") +
                                  build::kCliDocumentation + ").");
    add({"0", std::string(kNull)}, "With --list: ends each path with NUL instead of a newline.");
    add({"y", std::string(kYes)}, "With --reset or --restore: goes ahead without asking.");
    add({"q", std::string(kQuiet)},
        "Prints only what went wrong (and, with --json, the JSON object).");
    add({std::string(kSafari)},
        "With --list or --reset of Safari: a soft or a hard reset (required by --reset).",
        "soft|hard");
    add({std::string(kOnly)},
        "With --list or --reset: only these kinds of entries, separated by commas (" + kindIds() +
            ").",
        "KINDS");
    add({std::string(kNoTrash)}, "With --reset: removes for good the entries no Trash can take "
                                 "(without it, nothing is changed when there are any).");
    parser.addPositional("TARGET",
                         "PATH.app or an identifier; with --restore, also a record's name.",
                         "[PATH.app | ID | RECORD]");
}

// Qt's own options of a window application, which the window's QApplication reads from the
// command line: each with the number of values it takes. Both "-style" and "--style" work there,
// and a value can follow "=".
int windowToolkitValues(std::string_view argument) {
    static constexpr std::string_view withValue[] = {
        "style",         "stylesheet", "platform",        "platformpluginpath",
        "platformtheme", "plugin",     "qwindowgeometry", "geometry",
        "qwindowtitle",  "title",      "qwindowicon",     "icon",
        "display",       "name",       "session",         "qmljsdebugger",
    };
    static constexpr std::string_view flags[] = {"reverse", "widgetcount", "nograb", "dograb",
                                                 "sync"};
    const auto among = [](const auto& names, std::string_view name) {
        return std::find(std::begin(names), std::end(names), name) != std::end(names);
    };
    if (!argument.starts_with('-')) {
        return -1;
    }
    const std::string_view name = argument.substr(argument.starts_with("--") ? 2 : 1);
    const std::size_t equals = name.find('=');
    if (equals != std::string_view::npos) {
        return among(withValue, name.substr(0, equals)) ? 0 : -1;
    }
    if (among(withValue, name)) {
        return 1;
    }
    return among(flags, name) ? 0 : -1;
}

// The arguments without Qt's window options, which are left for the window to take.
std::vector<std::string> withoutWindowToolkitOptions(int argc, char** argv) {
    std::vector<std::string> ours;
    for (int index = 0; index < argc; ++index) {
        const std::string_view argument = argv[index];
        if (argument == "--") {
            ours.insert(ours.end(), argv + index, argv + argc);
            break;
        }
        const int values = index == 0 ? -1 : windowToolkitValues(argument);
        if (values < 0) {
            ours.emplace_back(argument);
        } else {
            index += values;
        }
    }
    return ours;
}

// Writes the text on standard output; a failed write is said and makes it a usage failure.
int printResult(const std::string& text) {
    std::signal(SIGPIPE, SIG_IGN);
    DescriptorOutput output(STDOUT_FILENO);
    std::ostream out(&output);
    out << text.c_str() << std::flush;
    if (output.error() != 0) {
        std::cerr << "corvane: could not write the output: " << std::strerror(output.error())
                  << '\n';
        return kBadInput;
    }
    return kDone;
}

void printTo(std::FILE* stream, const std::string& text) {
    std::fputs(text.c_str(), stream);
}

int usageError(const std::string& reason) {
    printTo(stderr, "corvane: " + reason + "\nTry 'corvane --help' for more information.\n");
    return kBadInput;
}

// Qt's "Unknown option 'x'." in the form of the other messages.
std::string asSentence(std::string text) {
    if (!text.empty() && text[0] >= 'A' && text[0] <= 'Z') {
        text[0] = static_cast<char>(text[0] - 'A' + 'a');
    }
    while (!text.empty() && text.back() == '.') {
        text.pop_back();
    }
    return text;
}

// The command as a shell reads it back, for a sentence that tells the user what to type.
std::string commandLineOf(int argc, char** argv) {
    std::string line = "corvane";
    for (int index = 1; index < argc; ++index) {
        line += ' ' + shellWord(argv[index]);
    }
    return line;
}

// The host's facilities for a command: what went wrong is said once by the command itself, the
// details are in the system log.
std::unique_ptr<HostFacilities> commandHost() {
    std::unique_ptr<HostFacilities> host = makeHostFacilities();
    host->setLogEchoToStandardError(false);
    return host;
}

// Which options go with which actions; the first mistake found, in plain words.
std::optional<std::string> misplacedOption(const OptionParser& parser) {
    const bool list = parser.isSet(kList);
    const bool reset = parser.isSet(kReset);
    const bool restore = parser.isSet(kRestore);
    const bool history = parser.isSet(kHistory);
    if (int(list) + int(reset) + int(restore) + int(history) > 1) {
        return "choose one of --list, --reset, --restore and --history";
    }
    if (parser.isSet(kJson) && !(list || reset || restore || history)) {
        return "--json goes with --list, --reset, --restore or --history";
    }
    if (parser.isSet(kNull) && !list) {
        return "--null goes with --list";
    }
    if (parser.isSet(kNull) && parser.isSet(kJson)) {
        return "choose one of --json and --null";
    }
    if (parser.isSet(kQuiet) && !(list || reset || restore || history)) {
        return "--quiet goes with --list, --reset, --restore or --history";
    }
    if (parser.isSet(kYes) && !(reset || restore)) {
        return "--yes goes with --reset or --restore";
    }
    if (parser.isSet(kSafari) && !(list || reset)) {
        return "--safari goes with --list or --reset";
    }
    if (parser.isSet(kOnly) && !(list || reset)) {
        return "--only goes with --list or --reset";
    }
    if (parser.isSet(kOnly)) {
        const ParsedKinds kinds = parseKindList(parser.value(kOnly));
        if (kinds.unknown) {
            return "--only takes kinds of entries from " + kindIds() + ", not '" + *kinds.unknown +
                   "'";
        }
    }
    if (parser.isSet(kNoTrash) && !reset) {
        return "--no-trash goes with --reset";
    }
    if (parser.isSet(kNoLegend) && !history) {
        return "--no-legend goes with --history";
    }
    if (parser.isSet(kSafari) && parser.value(kSafari) != "soft" &&
        parser.value(kSafari) != "hard") {
        return "--safari takes soft or hard, not '" + parser.value(kSafari) + "'";
    }
    if ((list || reset) && parser.positional().empty()) {
        return "name the application: PATH.app or its identifier";
    }
    return std::nullopt;
}

// Runs one action with standard output written so that a failed write is known; what the
// action changed stands, so only a listing's exit code reports the failed write.
// With `quiet`, only the JSON document reaches standard output; `asks` is false when --yes
// answered the question beforehand.
int runAction(const std::function<int(Console&)>& action, bool listing, bool quiet, bool json,
              bool asks = true) {
    // A closed pipe is reported as a failed write, not by a signal that ends the program.
    std::signal(SIGPIPE, SIG_IGN);
    DescriptorOutput output(STDOUT_FILENO);
    std::ostream written(&output);
    std::ostringstream held;
    std::ostream& out = quiet && !json ? held : written;
    Console console{std::cin, out, std::cerr, asks && isatty(STDIN_FILENO) == 1, quiet};
    int code = action(console);
    written.flush();
    // Quiet is never silent on a failure: the account of a run done in part, which names what
    // stayed, is given with the diagnostics instead.
    if (&out == &held && code == kPartial) {
        std::istringstream account(held.str());
        for (std::string line; std::getline(account, line);) {
            if (!line.empty()) {
                std::cerr << "corvane: " << line << '\n';
            }
        }
    }
    if (output.error() != 0) {
        std::cerr << "corvane: could not write the output: " << std::strerror(output.error())
                  << '\n';
        if (listing) {
            code = kBadInput;
        }
    }
    return code;
}

// The working directory's path as the system gives it, bytes that need not be UTF-8; empty when
// it cannot be had (a directory since removed).
std::string currentDirectory() {
    std::vector<char> buffer(256);
    while (getcwd(buffer.data(), buffer.size()) == nullptr) {
        if (errno != ERANGE) {
            return {};
        }
        buffer.resize(buffer.size() * 2);
    }
    return buffer.data();
}

// A bundle's path made absolute byte for byte ("." components dropped); an identifier as it is.
std::string absolute(const std::string& argument) {
    if (!namesABundle(argument)) {
        return argument;
    }
    std::string base;
    if (argument.front() != '/') {
        base = currentDirectory();
    }
    std::string path;
    std::size_t start = 0;
    const std::string joined = base + "/" + argument;
    while (start <= joined.size()) {
        const std::size_t slash = std::min(joined.find('/', start), joined.size());
        const std::string part = joined.substr(start, slash - start);
        if (!part.empty() && part != ".") {
            path += "/" + part;
        }
        start = slash + 1;
    }
    return path.empty() ? "/" : path;
}

} // namespace

std::variant<int, OpenWindow> runCommandLine(int argc, char** argv) {
    OptionParser parser;
    describeCommandLine(parser);
    if (!parser.parse(withoutWindowToolkitOptions(argc, argv))) {
        return usageError(asSentence(parser.errorText()));
    }
    // The help names the program "corvane" whatever path it was started by, as in every other
    // line it writes.
    if (parser.isSet("help")) {
        return printResult(parser.helpText("corvane"));
    }
    if (parser.isSet("version")) {
        return printResult(std::string("corvane ") + build::kVersion + "\n");
    }
    const std::vector<std::string>& positional = parser.positional();
    if (positional.size() > 1) {
        return usageError("give at most one application, identifier or record");
    }
    if (const std::optional<std::string> mistake = misplacedOption(parser)) {
        return usageError(*mistake);
    }
    std::optional<std::string> target;
    if (!positional.empty()) {
        // Bytes as given: a path need not be text in the locale's encoding.
        target = positional.front();
    }
    std::optional<bool> safariHard;
    if (parser.isSet(kSafari)) {
        safariHard = parser.value(kSafari) == "hard";
    }
    const KindSelection kinds = parser.isSet(kOnly)
                                    ? KindSelection::only(parseKindList(parser.value(kOnly)).kinds)
                                    : KindSelection();
    const bool json = parser.isSet(kJson);
    const bool quiet = parser.isSet(kQuiet);
    const std::string commandLine = commandLineOf(argc, argv);

    if (parser.isSet(kList)) {
        const std::unique_ptr<HostFacilities> host = commandHost();
        ListOptions options;
        options.form = json                  ? OutputForm::Json
                       : parser.isSet(kNull) ? OutputForm::NulTerminated
                                             : OutputForm::Lines;
        options.safariHard = safariHard;
        options.kinds = kinds;
        return runAction(
            [&](Console& console) {
                return listEntries(host->ports(), absolute(*target), options, console);
            },
            true, quiet, json);
    }
    if (parser.isSet(kReset)) {
        const std::unique_ptr<HostFacilities> host = commandHost();
        ResetOptions options;
        options.confirmed = parser.isSet(kYes);
        options.removeForGood = parser.isSet(kNoTrash);
        options.safariHard = safariHard;
        options.kinds = kinds;
        options.json = json;
        options.commandLine = commandLine;
        return runAction(
            [&](Console& console) {
                return resetApplication(host->ports(), absolute(*target), options, console);
            },
            false, quiet, json, !options.confirmed);
    }
    if (parser.isSet(kRestore)) {
        const std::unique_ptr<HostFacilities> host = commandHost();
        RestoreOptions options;
        options.confirmed = parser.isSet(kYes);
        options.json = json;
        options.commandLine = commandLine;
        return runAction(
            [&](Console& console) { return restoreReset(host->ports(), target, options, console); },
            false, quiet, json, !options.confirmed);
    }
    if (parser.isSet(kHistory)) {
        const std::unique_ptr<HostFacilities> host = commandHost();
        return runAction(
            [&](Console& console) {
                return listHistory(host->ports(), target, json, !parser.isSet(kNoLegend), console);
            },
            true, quiet, json);
    }

    OpenWindow window;
    if (target && !namesABundle(*target)) {
        // An identifier opens the window on the installed application that has it: a bundle, or
        // a Linux application's desktop file.
        const std::unique_ptr<HostFacilities> host = commandHost();
        const auto resolved = resolveTarget(host->ports(), *target, true);
        if (const auto* refusal = std::get_if<Refusal>(&resolved)) {
            if (refusal->usage) {
                return usageError(refusal->sentence);
            }
            printTo(stderr, "corvane: " + refusal->sentence + "\n");
            return refusal->code;
        }
        const Target& found = std::get<Target>(resolved);
        if (const auto unpicked = packageNotPicked(found)) {
            return usageError(unpicked->sentence);
        }
        window.application = found.bundle ? found.bundle : found.desktopFile;
    } else if (target) {
        const std::string path = absolute(*target);
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            printTo(stderr, "corvane: no such application: " + positional.front() + "\n");
            return kBadInput;
        }
        window.application = path;
    }
    return window;
}

} // namespace corvane::cli
