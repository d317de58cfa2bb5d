#include "cli/CommandLine.h"

#include "BuildInfo.h"
#include "cli/CommandLineActions.h"
#include "host/FileCookieStore.h"
#include "host/FreedesktopTrash.h"
#include "host/HostFileSystem.h"
#include "host/HostWorkspace.h"
#include "host/PlistBundleReader.h"
#include "host/PosixProcessLauncher.h"
#include "host/ProcRunningApplications.h"
#include "host/SyslogSystemLog.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <cstdio>
#include <iostream>
#include <unistd.h>

namespace corvane::cli {

namespace {

const QString kList = QStringLiteral("list");
const QString kJson = QStringLiteral("json");
const QString kReset = QStringLiteral("reset");
const QString kRestore = QStringLiteral("restore");
const QString kYes = QStringLiteral("yes");
const QString kSafari = QStringLiteral("safari");
const QString kNoTrash = QStringLiteral("no-trash");

void describeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Returns a misbehaving application to its default settings.\n\n"
                       "Without an action, opens the window (with PATH.app chosen when given).\n"
                       "Exit status: 0 done, 1 nothing to do, 2 bad input or usage, 3 partly done "
                       "(what stayed is named), 4 declined or refused (nothing was changed)."));
    // Qt's own help option would also offer --help-all with the options of the window toolkit,
    // which this early parse does not take.
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays this help.")));
    parser.addVersionOption();
    parser.addOption(QCommandLineOption(
        kList,
        QStringLiteral("Prints the full path of every entry Fix would remove for PATH.app.")));
    parser.addOption(
        QCommandLineOption(kJson, QStringLiteral("With --list: prints one JSON object instead.")));
    parser.addOption(QCommandLineOption(
        kReset, QStringLiteral("Resets PATH.app as Fix does; asks first on a terminal.")));
    parser.addOption(
        QCommandLineOption(kYes, QStringLiteral("With --reset: resets without asking.")));
    parser.addOption(QCommandLineOption(
        kSafari, QStringLiteral("With --reset of Safari: a soft or a hard reset."),
        QStringLiteral("soft|hard")));
    parser.addOption(QCommandLineOption(
        kNoTrash, QStringLiteral("With --reset: removes for good the entries no Trash can take "
                                 "(without it, nothing is changed when there are any).")));
    parser.addOption(QCommandLineOption(
        kRestore,
        QStringLiteral("Puts back the latest reset (of the identifier ID, when given).")));
    parser.addPositionalArgument(QStringLiteral("PATH.app"),
                                 QStringLiteral("The application to fix; with --restore, an "
                                                "identifier."),
                                 QStringLiteral("[PATH.app | ID]"));
}

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    arguments.reserve(argc);
    for (int index = 0; index < argc; ++index) {
        arguments.append(QString::fromLocal8Bit(argv[index]));
    }
    return arguments;
}

void printTo(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
}

// The usage names the program as it was started, which the parser takes from a Qt application
// object; a core one needs no display.
QString usage(int argc, char** argv, const QCommandLineParser& parser) {
    const QCoreApplication core(argc, argv);
    return parser.helpText();
}

int refuse(int argc, char** argv, const QCommandLineParser& parser, const QString& reason) {
    printTo(stderr, QStringLiteral("corvane: %1\n\n%2").arg(reason, usage(argc, argv, parser)));
    return kBadInput;
}

// The host's services without a window: questions are answered by the action itself.
class HostServices {
public:
    HostServices() : m_workspace(m_fileSystem), m_running(m_bundles), m_cookies(m_fileSystem) {
        services.fileSystem = &m_fileSystem;
        services.workspace = &m_workspace;
        services.bundles = &m_bundles;
        services.launcher = &m_launcher;
        services.runningApplications = &m_running;
        services.cookieStore = &m_cookies;
        services.systemLog = &m_log;
        services.trash = m_trash ? &*m_trash : nullptr;
    }
    Ports services;

private:
    HostFileSystem m_fileSystem;
    HostWorkspace m_workspace;
    PlistBundleReader m_bundles;
    PosixProcessLauncher m_launcher;
    ProcRunningApplications m_running;
    FileCookieStore m_cookies;
    SyslogSystemLog m_log;
    std::optional<FreedesktopTrash> m_trash = FreedesktopTrash::locate();
};

std::string localPath(const QString& argument) {
    return QFile::encodeName(QDir::cleanPath(QFileInfo(argument).absoluteFilePath())).toStdString();
}

} // namespace

std::variant<int, OpenWindow> runCommandLine(int argc, char** argv) {
    QCommandLineParser parser;
    describeCommandLine(parser);
    if (!parser.parse(argumentsOf(argc, argv))) {
        return refuse(argc, argv, parser, parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printTo(stdout, usage(argc, argv, parser));
        return kDone;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("corvane %s\n", build::kVersion);
        return kDone;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        return refuse(argc, argv, parser, QStringLiteral("give at most one application"));
    }
    const int actions =
        int(parser.isSet(kList)) + int(parser.isSet(kReset)) + int(parser.isSet(kRestore));
    if (actions > 1) {
        return refuse(argc, argv, parser,
                      QStringLiteral("choose one of --list, --reset and --restore"));
    }
    if ((parser.isSet(kJson) && !parser.isSet(kList)) ||
        ((parser.isSet(kYes) || parser.isSet(kSafari) || parser.isSet(kNoTrash)) &&
         !parser.isSet(kReset))) {
        return refuse(argc, argv, parser,
                      QStringLiteral("--json goes with --list; --yes, --safari and --no-trash "
                                     "with --reset"));
    }

    if (parser.isSet(kList) || parser.isSet(kReset)) {
        if (positional.isEmpty()) {
            return refuse(argc, argv, parser, QStringLiteral("name the application, PATH.app"));
        }
        HostServices host;
        const std::string path = localPath(positional.first());
        if (parser.isSet(kList)) {
            return listEntries(host.services, path, parser.isSet(kJson), std::cout, std::cerr);
        }
        ResetOptions options;
        options.confirmed = parser.isSet(kYes);
        options.removeForGood = parser.isSet(kNoTrash);
        options.interactive = isatty(STDIN_FILENO) == 1;
        if (parser.isSet(kSafari)) {
            const QString mode = parser.value(kSafari);
            if (mode != QLatin1String("soft") && mode != QLatin1String("hard")) {
                return refuse(argc, argv, parser, QStringLiteral("--safari is soft or hard"));
            }
            options.safariHard = mode == QLatin1String("hard");
        }
        return resetApplication(host.services, path, options, std::cin, std::cout, std::cerr);
    }
    if (parser.isSet(kRestore)) {
        HostServices host;
        std::optional<std::string> identifier;
        if (!positional.isEmpty()) {
            identifier = positional.first().toStdString();
        }
        return restoreLatestReset(host.services, identifier, std::cout, std::cerr);
    }

    OpenWindow window;
    if (!positional.isEmpty()) {
        const std::string path = localPath(positional.first());
        if (!QFileInfo::exists(QString::fromStdString(path))) {
            printTo(stderr,
                    QStringLiteral("corvane: no such application: %1\n").arg(positional.first()));
            return kBadInput;
        }
        window.application = path;
    }
    return window;
}

} // namespace corvane::cli
