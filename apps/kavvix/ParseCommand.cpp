#include "ParseCommand.h"

#include "InputSource.h"
#include "ScoreSetPrinter.h"

#include <kavvix/clsColoradoData.h>
#include <kavvix/clsDaktronicsData.h>
#include <kavvix/modKavvix.h>

#include <QList>

namespace KavvixCli {

namespace {

const QString coloradoMarker = QStringLiteral("W\\0\\101\\");

// Start positions of the pieces a console text is cut into: each piece runs from one start to
// the next, so every record or packet reaches its parser on its own.
QList<qsizetype> startsOf(const QString &text, const QStringList &openers) {
    QList<qsizetype> starts;
    for (qsizetype i = 0; i < text.size(); ++i)
        for (const QString &opener : openers)
            if (QStringView(text).mid(i).startsWith(opener)) {
                starts << i;
                break;
            }
    return starts;
}

QStringList piecesOf(const QString &text, const QStringList &openers) {
    const QList<qsizetype> starts = startsOf(text, openers);
    QStringList pieces;
    for (qsizetype i = 0; i < starts.size(); ++i) {
        const qsizetype end = i + 1 < starts.size() ? starts[i + 1] : text.size();
        pieces << text.mid(starts[i], end - starts[i]);
    }
    return pieces;
}

} // namespace

void ParseCommand::describe(QCommandLineParser &parser) const {
    parser.addPositionalArgument(QStringLiteral("console"),
                                 QStringLiteral("colorado or daktronics"));
    parser.addPositionalArgument(QStringLiteral("file"),
                                 QStringLiteral("File with the console text; - or none reads "
                                                "standard input"),
                                 QStringLiteral("[FILE|-]"));
    parser.addOption({QStringLiteral("json"), QStringLiteral("One JSON object per score set.")});
    parser.addOption({QStringLiteral("each"),
                      QStringLiteral("daktronics: print the score set after every score packet, "
                                     "not only at the end.")});
}

int ParseCommand::run(const QCommandLineParser &parser, Console &console) {
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty() || args.size() > 2)
        throw UsageError(QStringLiteral("expected: colorado|daktronics [FILE|-]"));
    const QString text = readConsoleText(args.value(1));
    const bool json = parser.isSet(QStringLiteral("json"));
    if (args[0] == QLatin1String("colorado"))
        return parseColorado(text, json, console);
    if (args[0] == QLatin1String("daktronics"))
        return parseDaktronics(text, json, parser.isSet(QStringLiteral("each")), console);
    throw UsageError(
        QStringLiteral("unknown console '%1' (expected colorado or daktronics)").arg(args[0]));
}

int ParseCommand::parseColorado(const QString &text, bool json, Console &console) {
    const QStringList records =
        piecesOf(text, {coloradoMarker, QString(QChar(Kavvix::modKavvix::STX))});
    if (records.isEmpty())
        throw UserError(QStringLiteral("no Colorado record found (no STX and no frame marker)"));
    Kavvix::clsColoradoData parser;
    int problems = 0;
    int printed = 0;
    for (qsizetype i = 0; i < records.size(); ++i) {
        const QString message = parser.ParseData(records[i]);
        if (!message.isEmpty()) {
            console.err << "record " << i + 1 << ": " << visibleText(message.trimmed()) << '\n';
            ++problems;
        }
        if (!parser.DataIsValid())
            continue;
        if (json) {
            ScoreSetPrinter::printJsonLine(parser, console.out);
        } else {
            if (printed > 0)
                console.out << '\n';
            ScoreSetPrinter::printTable(parser, console.out);
        }
        ++printed;
    }
    return problems == 0 ? Success : Failure;
}

int ParseCommand::parseDaktronics(const QString &text, bool json, bool each, Console &console) {
    const QStringList packets = piecesOf(text, {QString(QChar(Kavvix::modKavvix::SOH))});
    Kavvix::clsDaktronicsData parser;
    int problems = 0;
    int scorePackets = 0;
    const auto print = [&] {
        if (json)
            ScoreSetPrinter::printJsonLine(parser, console.out);
        else
            ScoreSetPrinter::printTable(parser, console.out);
    };
    for (qsizetype i = 0; i < packets.size(); ++i) {
        if (!parser.ContainsValidCommand(packets[i]))
            continue;
        ++scorePackets;
        const QString message = parser.ParseData(packets[i]);
        if (!message.isEmpty()) {
            console.err << "packet " << i + 1 << ": " << visibleText(message.trimmed()) << '\n';
            ++problems;
        }
        if (each) {
            if (!json && scorePackets > 1)
                console.out << '\n';
            print();
        }
    }
    if (scorePackets == 0)
        throw UserError(QStringLiteral("no score-data packet found (SOH \"004\" ... EOT)"));
    if (!each)
        print();
    return problems == 0 ? Success : Failure;
}

} // namespace KavvixCli
