#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>
#include <QTextStream>

namespace KavvixCli {

// Exit codes of every subcommand.
enum ExitCode { Success = 0, Failure = 1, Usage = 2 };

// Where a subcommand writes: results to out, diagnostics and errors to err.
struct Console {
    QTextStream &out;
    QTextStream &err;
};

// One subcommand of the kavvix tool.
class Command {
public:
    virtual ~Command() = default;

    virtual QString name() const = 0;
    virtual QString summary() const = 0;
    // Adds the subcommand's options and positional arguments (--help is added for it).
    virtual void describe(QCommandLineParser &parser) const = 0;
    // Runs with the parsed arguments; returns an ExitCode.
    virtual int run(const QCommandLineParser &parser, Console &console) = 0;
    // Whether the subcommand needs widgets (a QApplication rather than a QCoreApplication).
    virtual bool needsWidgets() const { return false; }
    // Whether the subcommand holds many sockets at once (thousands of feed clients). Those run
    // on an epoll event dispatcher: Qt's own ones walk every socket notifier on every wake-up,
    // which at 10,000 clients costs more than the broadcast itself.
    virtual bool servesManyClients() const { return false; }
    // How many positional arguments it takes at most; more are refused as a usage mistake.
    virtual qsizetype maxArguments() const { return 0; }
};

// An option taking a value whose help names its default: "<description> (default: VALUE).".
inline QCommandLineOption optionWithDefault(const QString &name, QString description,
                                            const QString &valueName, const QString &defaultValue) {
    if (description.endsWith(u'.'))
        description.chop(1);
    return {name, description + QStringLiteral(" (default: %1).").arg(defaultValue), valueName,
            defaultValue};
}

// A failure the user can act on: printed as one line "kavvix <command>: <message>", exit 1
// (or the exit code given).
class UserError {
public:
    explicit UserError(QString message, int exitCode = Failure)
        : m_message(std::move(message)), m_exitCode(exitCode) {}
    const QString &message() const { return m_message; }
    int exitCode() const { return m_exitCode; }

private:
    QString m_message;
    int m_exitCode;
};

// A mistake in how the command was called: printed with a hint to --help, exit 2.
class UsageError : public UserError {
public:
    using UserError::UserError;
};

} // namespace KavvixCli
