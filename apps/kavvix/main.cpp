#include "Command.h"
#include "Commands.h"
#include "DriverWarnings.h"
#include "EpollEventDispatcher.h"
#include "WindowSystem.h"

#include <kavvix/Error.h>
#include <kavvix/core.h>

#include <QApplication>
#include <QCoreApplication>
#include <QIODevice>
#include <QTextStream>
#include <cstdio>
#include <exception>
#include <memory>

using namespace KavvixCli;

namespace {

void printOverview(QTextStream &out, const std::vector<std::unique_ptr<Command>> &commands) {
    out << "Usage: kavvix <command> [options]\n\n"
           "Talks to diving judging consoles and the timing console over a serial line.\n\n"
           "Commands:\n";
    for (const auto &command : commands)
        out << "  " << command->name().leftJustified(16) << command->summary() << '\n';
    out << "\nOptions:\n"
           "  --help, -h      Show this overview.\n"
           "  --version       Show the version of kavvix and its library.\n"
           "\nRun 'kavvix <command> --help' for the options of a command.\n";
}

// Parses the command's options; false after saying what is wrong on standard error.
bool parseOptions(QCommandLineParser &parser, const Command &command, const QStringList &arguments,
                  Console &console) {
    parser.setApplicationDescription(command.summary());
    command.describe(parser);
    if (parser.parse(arguments))
        return true;
    console.err << "kavvix " << command.name() << ": " << parser.errorText() << "\nTry 'kavvix "
                << command.name() << " --help'.\n";
    return false;
}

int runCommand(Command &command, const QStringList &arguments, Console &console) {
    QCommandLineParser parser;
    const QCommandLineOption help = parser.addHelpOption();
    if (!parseOptions(parser, command, arguments, console))
        return Usage;
    const QString prefix = QStringLiteral("kavvix ") + command.name() + QStringLiteral(": ");
    if (parser.isSet(help)) {
        // The parser names the program by its path; show "kavvix <command>" instead.
        QString text = parser.helpText();
        const qsizetype programEnd =
            text.indexOf(QLatin1Char(' '), text.indexOf(QLatin1Char(' ')) + 1);
        text.replace(0, programEnd, QStringLiteral("Usage: kavvix ") + command.name());
        console.out << text;
        return Success;
    }
    try {
        const QStringList extra = parser.positionalArguments().mid(command.maxArguments());
        if (!extra.isEmpty())
            throw UsageError(QStringLiteral("unexpected argument '%1'").arg(extra.first()));
        return command.run(parser, console);
    } catch (const UsageError &e) {
        console.err << prefix << e.message() << "\nTry 'kavvix " << command.name() << " --help'.\n";
        return Usage;
    } catch (const UserError &e) {
        console.err << prefix << e.message() << '\n';
        return e.exitCode();
    } catch (const Kavvix::Error &e) {
        console.err << prefix << e.description() << '\n';
        return Failure;
    } catch (const std::exception &e) {
        console.err << prefix << "unexpected error: " << e.what() << '\n';
        return Failure;
    }
}

// A failed write (a full disk, a closed pipe) must not pass for success.
int checkWritten(QTextStream &out, const QString &commandName, int code, QTextStream &err) {
    out.flush();
    if (out.status() == QTextStream::Ok)
        return code;
    err << "kavvix " << commandName << ": cannot write the output: " << out.device()->errorString()
        << '\n';
    return code == Success ? Failure : code;
}

QStringList argumentsOf(int argc, char **argv) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

} // namespace

int main(int argc, char **argv) {
    DriverWarnings::install();
    QTextStream out(stdout);
    QTextStream err(stderr);
    Console console{out, err};
    auto commands = allCommands();

    const QString name = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    if (name.isEmpty() || name == QLatin1String("--help") || name == QLatin1String("-h") ||
        name == QLatin1String("help")) {
        printOverview(name.isEmpty() ? err : out, commands);
        return name.isEmpty() ? Usage : Success;
    }
    if (name == QLatin1String("--version")) {
        out << "kavvix " << Kavvix::libraryVersion() << '\n';
        return Success;
    }
    for (const auto &command : commands) {
        if (command->name() != name)
            continue;
        const QStringList given = argumentsOf(argc, argv);
        const bool widgets = command->needsWidgets() && !WindowSystem::asksForHelp(given);
        if (widgets) {
            // A mistake in the command line is that, display or not.
            QCommandLineParser parser;
            parser.addHelpOption();
            QStringList options = given;
            options.removeAt(1);
            if (!parseOptions(parser, *command, options, console))
                return Usage;
        }
        if (widgets && !WindowSystem::displayAvailable(given)) {
            err << "kavvix " << name
                << ": no display to show the window on (set DISPLAY, or run with "
                   "QT_QPA_PLATFORM=offscreen)\n";
            return Failure;
        }
        // Read when the application object is created; set but empty keeps the default. The
        // main thread, where the clients' sockets live, waits on epoll; other threads on Qt's
        // UNIX dispatcher.
        if (command->servesManyClients() && !qEnvironmentVariableIsSet("QT_NO_GLIB")) {
            qputenv("QT_NO_GLIB", "1");
            QCoreApplication::setEventDispatcher(new Kavvix::EpollEventDispatcher);
        }
        std::unique_ptr<QCoreApplication> app;
        if (widgets)
            app = std::make_unique<QApplication>(argc, argv);
        else
            app = std::make_unique<QCoreApplication>(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("kavvix"));
        QStringList arguments = app->arguments();
        arguments.removeAt(1); // the subcommand's own parser sees "kavvix <options...>"
        const int code = checkWritten(out, name, runCommand(*command, arguments, console), err);
        err.flush();
        return code;
    }
    err << "kavvix: unknown command '" << name
        << "'\nRun 'kavvix --help' for the list of commands.\n";
    return Usage;
}
