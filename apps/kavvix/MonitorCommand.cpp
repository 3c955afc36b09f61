#include "MonitorCommand.h"

#include "DiveResultPrinter.h"
#include "InterruptWatcher.h"
#include "PortOption.h"
#include "RecordOption.h"
#include "TextForms.h"

#include <kavvix/ConsoleReader.h>
#include <kavvix/Error.h>
#include <kavvix/PortTable.h>
#include <kavvix/cDakProcessor.h>
#include <kavvix/cDiveResult.h>
#include <kavvix/modKavvix.h>

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>

namespace KavvixCli {

void MonitorCommand::describe(QCommandLineParser &parser) const {
    PortOption::describe(parser, true);
    RecordOption::describe(parser);
    parser.addOption({QStringLiteral("json"), QStringLiteral("One JSON object per line.")});
    parser.addOption({QStringLiteral("request-version"),
                      QStringLiteral("Ask the console for its software version first.")});
    parser.addOption({QStringLiteral("log"),
                      QStringLiteral("Write the receiver's diagnostic entries to the log file "
                                     "($KAVVIX_LOG_FILE, or kavvix/kavvix.log in the user's data "
                                     "folder).")});
}

int MonitorCommand::run(const QCommandLineParser &parser, Console &console) {
    const ChosenPort chosen = PortOption::resolve(parser);
    const bool json = parser.isSet(QStringLiteral("json"));
    Kavvix::modKavvix::setDebugEnabled(parser.isSet(QStringLiteral("log")));

    const auto recording = RecordOption::open(parser);
    Kavvix::ConsoleReader reader(chosen.number);
    try {
        reader.open();
    } catch (const Kavvix::Error &e) {
        // The port's description names the device already.
        throw UserError(chosen.byDevice ? e.description()
                                        : chosen.name() + QStringLiteral(": ") + e.description());
    }

    const auto emitLine = [&](const QString &text, const QJsonObject &object) {
        if (json)
            console.out << QJsonDocument(object).toJson(QJsonDocument::Compact) << '\n';
        else
            console.out << text << '\n';
        console.out.flush();
    };

    Kavvix::cDakProcessor &processor = reader.processor();
    QObject::connect(&processor, &Kavvix::cDakProcessor::SoftwareVersion,
                     [&](const QString &version) {
                         emitLine(QStringLiteral("software version: ") + version,
                                  {{"event", "SoftwareVersion"}, {"version", version}});
                     });
    QObject::connect(&processor, &Kavvix::cDakProcessor::COMMError, [&](const QString &message) {
        emitLine(QStringLiteral("error: ") + message,
                 {{"event", "COMMError"}, {"message", message}});
    });
    QObject::connect(&processor, &Kavvix::cDakProcessor::DiveResult,
                     [&](Kavvix::cDiveResult *result) {
                         QJsonObject object = DiveResultPrinter::toJson(*result);
                         object.insert(QStringLiteral("event"), QStringLiteral("DiveResult"));
                         emitLine(DiveResultPrinter::line(*result), object);
                         result->deleteLater(); // printed: nothing keeps it
                     });

    QObject::connect(
        &processor, &Kavvix::cDakProcessor::FrameRejected,
        [&](const QString &check, const QString &frame) {
            emitLine(
                QStringLiteral("rejected frame (%1): %2").arg(check, TextForms::visible(frame)),
                {{"event", "FrameRejected"}, {"check", check}, {"frame", frame}});
        });

    int exitCode = Success;
    if (recording)
        reader.setByteTap([&](QByteArrayView bytes) {
            for (const char byte : bytes)
                recording->append(byte);
        });
    QObject::connect(&reader, &Kavvix::ConsoleReader::lost, [&] {
        console.err << "kavvix monitor: the serial line was lost\n";
        exitCode = Failure;
        QCoreApplication::quit();
    });

    InterruptWatcher interrupts;
    QObject::connect(&interrupts, &InterruptWatcher::interrupted, [] { QCoreApplication::quit(); });

    console.err << "Monitoring " << chosen.name() << " ("
                << (chosen.byDevice ? QString() : chosen.device() + QStringLiteral(", "))
                << Kavvix::modKavvix::ConsoleLineSettings << "); Ctrl-C stops.\n";
    console.err.flush();
    if (parser.isSet(QStringLiteral("request-version")))
        reader.requestVersion();
    QCoreApplication::exec();
    reader.close();
    return exitCode;
}

} // namespace KavvixCli
