#include "cli/CommandLine.h"

#include "BuildInfo.h"
#include "cli/ActionSupport.h"
#include "cli/CommandLineActions.h"
#include "cli/Output.h"
#include "host/HostFacilities.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QStringList>
#include <algorithm>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <functional>
#include <iostream>
#include <memory>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace corvane::cli {

namespace {

const QString kList = QStringLiteral("list");
const QString kJson = QStringLiteral("json");
const QString kNull = QStringLiteral("null");
const QString kReset = QStringLiteral("reset");
const QString kRestore = QStringLiteral("restore");
const QString kHistory = QStringLiteral("history");
const QString kYes = QStringLiteral("yes");
const QString kSafari = QStringLiteral("safari");
const QString kNoTrash = QStringLiteral("no-trash");
const QString kQuiet = QStringLiteral("quiet");
const QString kNoLegend = QStringLiteral("no-legend");
const QString kOnly = QStringLiteral("only");

void describeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(QStringLiteral(
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
        "The window also takes Qt's own options (-style NAME, -platform NAME, ...)."));
    // Qt's own help option would also offer --help-all with the options of the window toolkit,
    // which this early parse does not take.
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays this help.")));
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        kList, QStringLiteral("Prints the full path of every entry a reset would remove.")));
    parser.addOption(QCommandLineOption(
        kReset, QStringLiteral("Moves the entries to the Trash and clears the settings, as Fix "
                               "does in the window.")));
    parser.addOption(QCommandLineOption(
        kRestore, QStringLiteral("Puts back the latest reset, the latest of TARGET, "
                                 "or the reset RECORD.")));
    parser.addOption(QCommandLineOption(
        kHistory, QStringLiteral("Lists the kept resets, newest first (of ID, when given).")));
    parser.addOption(QCommandLineOption(
        kNoLegend, QStringLiteral("With --history: leaves out the heading line.")));
    parser.addOption(QCommandLineOption(
        kJson, QStringLiteral("Prints one JSON object (\"format\": 1; its fields are described "
                              "in %1).")
                   .arg(QString::fromUtf8(build::kCliDocumentation))));
    parser.addOption(QCommandLineOption(
        {QStringLiteral("0"), kNull},
        QStringLiteral("With --list: ends each path with NUL instead of a newline.")));
    parser.addOption(QCommandLineOption(
        {QStringLiteral("y"), kYes},
        QStringLiteral("With --reset or --restore: goes ahead without asking.")));
    parser.addOption(QCommandLineOption(
        {QStringLiteral("q"), kQuiet},
        QStringLiteral("Prints only what went wrong (and, with --json, the JSON object).")));
    parser.addOption(QCommandLineOption(
        kSafari,
        QStringLiteral("With --list or --reset of Safari: a soft or a hard reset (required by "
                       "--reset)."),
        QStringLiteral("soft|hard")));
    parser.addOption(QCommandLineOption(
        kOnly,
        QStringLiteral("With --list or --reset: only these kinds of entries, separated by "
                       "commas (%1).")
            .arg(QString::fromStdString(kindIds())),
        QStringLiteral("KINDS")));
    parser.addOption(QCommandLineOption(
        kNoTrash, QStringLiteral("With --reset: removes for good the entries no Trash can take "
                                 "(without it, nothing is changed when there are any).")));
    parser.addPositionalArgument(QStringLiteral("TARGET"),
                                 QStringLiteral("PATH.app or an identifier; with --restore, "
                                                "also a record's name."),
                                 QStringLiteral("[PATH.app | ID | RECORD]"));
}

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    arguments.reserve(argc);
    for (int index = 0; index < argc; ++index) {
        arguments.append(QString::fromLocal8Bit(argv[index]));
    }
    return arguments;
}

// Qt's own options of a window application, which the window's QApplication reads from the
// command line: each with the number of values it takes. Both "-style" and "--style" work there,
// and a value can follow "=".
int windowToolkitValues(const QString& argument) {
    static const QStringList withValue = {
        QStringLiteral("style"),           QStringLiteral("stylesheet"),
        QStringLiteral("platform"),        QStringLiteral("platformpluginpath"),
        QStringLiteral("platformtheme"),   QStringLiteral("plugin"),
        QStringLiteral("qwindowgeometry"), QStringLiteral("geometry"),
        QStringLiteral("qwindowtitle"),    QStringLiteral("title"),
        QStringLiteral("qwindowicon"),     QStringLiteral("icon"),
        QStringLiteral("display"),         QStringLiteral("name"),
        QStringLiteral("session"),         QStringLiteral("qmljsdebugger"),
    };
    static const QStringList flags = {QStringLiteral("reverse"), QStringLiteral("widgetcount"),
                                      QStringLiteral("nograb"), QStringLiteral("dograb"),
                                      QStringLiteral("sync")};
    if (!argument.startsWith(QLatin1Char('-'))) {
        return -1;
    }
    QString name = argument.mid(argument.startsWith(QLatin1String("--")) ? 2 : 1);
    const qsizetype equals = name.indexOf(QLatin1Char('='));
    if (equals >= 0) {
        return withValue.contains(name.left(equals)) ? 0 : -1;
    }
    if (withValue.contains(name)) {
        return 1;
    }
    return flags.contains(name) ? 0 : -1;
}

// The arguments without Qt's window options, which are left for the window to take.
QStringList withoutWindowToolkitOptions(const QStringList& arguments) {
    QStringList ours;
    for (qsizetype index = 0; index < arguments.size(); ++index) {
        if (arguments[index] == QLatin1String("--")) {
            ours.append(arguments.mid(index));
            break;
        }
        const int values = index == 0 ? -1 : windowToolkitValues(arguments[index]);
        if (values < 0) {
            ours.append(arguments[index]);
        } else {
            index += values;
        }
    }
    return ours;
}

// Writes the text on standard output; a failed write is said and makes it a usage failure.
int printResult(const QString& text) {
    std::signal(SIGPIPE, SIG_IGN);
    DescriptorOutput output(STDOUT_FILENO);
    std::ostream out(&output);
    out << text.toLocal8Bit().constData() << std::flush;
    if (output.error() != 0) {
        std::cerr << "corvane: could not write the output: " << std::strerror(output.error())
                  << '\n';
        return kBadInput;
    }
    return kDone;
}

void printTo(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// The parser names the program after the Qt application object's first argument; it is
// "corvane" here whatever path the program was started by, as in every other line it writes.
QString usage(const QCommandLineParser& parser) {
    int argc = 1;
    char name[] = "corvane";
    char* argv[] = {name, nullptr};
    const QCoreApplication core(argc, argv);
    return parser.helpText();
}

int usageError(const QString& reason) {
    printTo(
        stderr,
        QStringLiteral("corvane: %1\nTry 'corvane --help' for more information.\n").arg(reason));
    return kBadInput;
}

// Qt's "Unknown option 'x'." in the form of the other messages.
QString asSentence(QString text) {
    if (!text.isEmpty()) {
        text[0] = text[0].toLower();
    }
    while (text.endsWith(QLatin1Char('.'))) {
        text.chop(1);
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
std::optional<QString> misplacedOption(const QCommandLineParser& parser) {
    const bool list = parser.isSet(kList);
    const bool reset = parser.isSet(kReset);
    const bool restore = parser.isSet(kRestore);
    const bool history = parser.isSet(kHistory);
    if (int(list) + int(reset) + int(restore) + int(history) > 1) {
        return QStringLiteral("choose one of --list, --reset, --restore and --history");
    }
    if (parser.isSet(kJson) && !(list || reset || restore || history)) {
        return QStringLiteral("--json goes with --list, --reset, --restore or --history");
    }
    if (parser.isSet(kNull) && !list) {
        return QStringLiteral("--null goes with --list");
    }
    if (parser.isSet(kNull) && parser.isSet(kJson)) {
        return QStringLiteral("choose one of --json and --null");
    }
    if (parser.isSet(kQuiet) && !(list || reset || restore || history)) {
        return QStringLiteral("--quiet goes with --list, --reset, --restore or --history");
    }
    if (parser.isSet(kYes) && !(reset || restore)) {
        return QStringLiteral("--yes goes with --reset or --restore");
    }
    if (parser.isSet(kSafari) && !(list || reset)) {
        return QStringLiteral("--safari goes with --list or --reset");
    }
    if (parser.isSet(kOnly) && !(list || reset)) {
        return QStringLiteral("--only goes with --list or --reset");
    }
    if (parser.isSet(kOnly)) {
        const ParsedKinds kinds = parseKindList(parser.value(kOnly).toStdString());
        if (kinds.unknown) {
            return QStringLiteral("--only takes kinds of entries from %1, not '%2'")
                .arg(QString::fromStdString(kindIds()), QString::fromStdString(*kinds.unknown));
        }
    }
    if (parser.isSet(kNoTrash) && !reset) {
        return QStringLiteral("--no-trash goes with --reset");
    }
    if (parser.isSet(kNoLegend) && !history) {
        return QStringLiteral("--no-legend goes with --history");
    }
    if (parser.isSet(kSafari) && parser.value(kSafari) != QLatin1String("soft") &&
        parser.value(kSafari) != QLatin1String("hard")) {
        return QStringLiteral("--safari takes soft or hard, not '%1'").arg(parser.value(kSafari));
    }
    if ((list || reset) && parser.positionalArguments().isEmpty()) {
        return QStringLiteral("name the application: PATH.app or its identifier");
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

// A bundle's path made absolute byte for byte ("." components dropped); an identifier as it is.
std::string absolute(const std::string& argument) {
    if (!namesABundle(argument)) {
        return argument;
    }
    std::string base;
    if (argument.front() != '/') {
        base = QFile::encodeName(QDir::currentPath()).toStdString();
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
    QCommandLineParser parser;
    describeCommandLine(parser);
    if (!parser.parse(withoutWindowToolkitOptions(argumentsOf(argc, argv)))) {
        return usageError(asSentence(parser.errorText()));
    }
    if (parser.isSet(QStringLiteral("help"))) {
        return printResult(usage(parser));
    }
    if (parser.isSet(QStringLiteral("version"))) {
        return printResult(QStringLiteral("corvane %1\n").arg(QString::fromUtf8(build::kVersion)));
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        return usageError(QStringLiteral("give at most one application, identifier or record"));
    }
    if (const std::optional<QString> mistake = misplacedOption(parser)) {
        return usageError(*mistake);
    }
    std::optional<std::string> target;
    if (!positional.isEmpty()) {
        // Bytes as given: a path need not be text in the locale's encoding.
        target = QFile::encodeName(positional.first()).toStdString();
    }
    std::optional<bool> safariHard;
    if (parser.isSet(kSafari)) {
        safariHard = parser.value(kSafari) == QLatin1String("hard");
    }
    const KindSelection kinds =
        parser.isSet(kOnly)
            ? KindSelection::only(parseKindList(parser.value(kOnly).toStdString()).kinds)
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
                return usageError(QString::fromStdString(refusal->sentence));
            }
            printTo(stderr,
                    QStringLiteral("corvane: %1\n").arg(QString::fromStdString(refusal->sentence)));
            return refusal->code;
        }
        const Target& found = std::get<Target>(resolved);
        if (const auto unpicked = packageNotPicked(found)) {
            return usageError(QString::fromStdString(unpicked->sentence));
        }
        window.application = found.bundle ? found.bundle : found.desktopFile;
    } else if (target) {
        const std::string path = absolute(*target);
        struct stat info {};
        if (stat(path.c_str(), &info) != 0) {
            printTo(stderr,
                    QStringLiteral("corvane: no such application: %1\n").arg(positional.first()));
            return kBadInput;
        }
        window.application = path;
    }
    return window;
}

} // namespace corvane::cli
