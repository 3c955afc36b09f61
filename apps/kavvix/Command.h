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
    // on Qt's own UNIX event dispatcher: the default one's bookkeeping of socket notifiers
    // grows with their number on every wake-up, which makes a broadcast cost the square of
    // the clients.
    virtual bool servesManyClients() const { return false; }
};

// A failure the user can act on: printed as one line "kavvix <command>: <message>", exit 1.
class UserError {
public:
    explicit UserError(QString message) : m_message(std::move(message)) {}
    const QString &message() const { return m_message; }

private:
    QString m_message;
};

// A mistake in how the command was called: printed with a hint to --help, exit 2.
class UsageError : public UserError {
public:
    using UserError::UserError;
};

} // namespace KavvixCli
