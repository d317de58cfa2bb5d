#include "BuildInfo.h"
#include "platform/Controls.h"
#include "platform/qt/FrontEnd.h"
#include "platform/qt/Images.h"

#include <QApplication>
#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QGuiApplication>
#include <QStringList>
#include <cstdio>
#include <cstdlib>
#include <optional>
#include <string>

namespace {

// Exit status for a command line that cannot be carried out.
constexpr int kBadUsage = 2;

// Without a display Qt would abort with a plugin error; say plainly what to do instead.
bool hasDisplay() {
    const char* platform = std::getenv("QT_QPA_PLATFORM");
    if (platform && *platform) {
        return true;
    }
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    return (x11 && *x11) || (wayland && *wayland);
}

// The options every front end understands. It is parsed before any Qt application object
// exists, so that answering --help or --version needs no display.
void describeCommandLine(QCommandLineParser& parser) {
    parser.setApplicationDescription(
        QStringLiteral("Returns a misbehaving application to its default settings."));
    // Qt's own help option would also offer --help-all with the options of the window toolkit,
    // which this early parse does not take.
    parser.addOption(QCommandLineOption({QStringLiteral("h"), QStringLiteral("help")},
                                        QStringLiteral("Displays this help.")));
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("PATH.app"),
                                 QStringLiteral("The application to fix, chosen at start."),
                                 QStringLiteral("[PATH.app]"));
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
    return kBadUsage;
}

} // namespace

int main(int argc, char** argv) {
    QCommandLineParser parser;
    describeCommandLine(parser);
    if (!parser.parse(argumentsOf(argc, argv))) {
        return refuse(argc, argv, parser, parser.errorText());
    }
    if (parser.isSet(QStringLiteral("help"))) {
        printTo(stdout, usage(argc, argv, parser));
        return 0;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        std::printf("corvane %s\n", corvane::build::kVersion);
        return 0;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        return refuse(argc, argv, parser, QStringLiteral("give at most one application"));
    }
    std::optional<std::string> application;
    if (!positional.isEmpty()) {
        // The file dialog hands over absolute paths; so does the command line.
        const QString path = QDir::cleanPath(QFileInfo(positional.first()).absoluteFilePath());
        if (!QFileInfo::exists(path)) {
            printTo(stderr,
                    QStringLiteral("corvane: no such application: %1\n").arg(positional.first()));
            return kBadUsage;
        }
        application = QFile::encodeName(path).toStdString();
    }

#ifndef __APPLE__
    if (!hasDisplay()) {
        std::fprintf(stderr, "Corvane needs a display; none was found. To run it without one, "
                             "use: xvfb-run -a make run\n");
        return 1;
    }
#endif
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Corvane"));
    QApplication::setApplicationVersion(QString::fromLatin1(corvane::build::kVersion));
    // Lets the desktop match the window to the installed desktop entry and its icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("net.corvane.Corvane"));
    QApplication::setWindowIcon(corvane::namedIcon(QLatin1String(corvane::kChooseButtonImage)));
    corvane::FrontEnd frontEnd;
    frontEnd.start(application);
    return QApplication::exec();
}
