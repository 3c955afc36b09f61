#include "ParseCommand.h"

#include "InputSource.h"
#include "PieceCutter.h"
#include "ProblemReport.h"
#include "ScoreSetPrinter.h"
#include "TextForms.h"

#include <kavvix/clsColoradoData.h>
#include <kavvix/clsDaktronicsData.h>
#include <kavvix/modKavvix.h>

namespace KavvixCli {

namespace {

const QString coloradoMarker = Kavvix::modKavvix::ColoradoFrameMarker.toString();
const QLatin1String colorado("colorado");
const QLatin1String daktronics("daktronics");

// Far longer than any record or packet a console sends; longer pieces are not read.
constexpr qsizetype MaxPieceLength = 64 * 1024;

// Cuts the whole input into pieces at the openers and hands each to handle, numbered from 1.
void readPieces(InputSource &input, const QStringList &openers,
                const std::function<void(qint64, const PieceCutter::Piece &)> &handle) {
    qint64 number = 0;
    PieceCutter cutter(openers, MaxPieceLength,
                       [&](const PieceCutter::Piece &piece) { handle(++number, piece); });
    for (QString chunk = input.read(); !chunk.isEmpty(); chunk = input.read())
        cutter.feed(chunk);
    cutter.finish();
}

QString tooLong(const char *unit) {
    return QStringLiteral("skipped: more than %1 characters before the next %2")
        .arg(MaxPieceLength)
        .arg(QLatin1String(unit));
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
    // Before any input is read: a wrong name must not wait for standard input to end.
    if (args[0] != colorado && args[0] != daktronics)
        throw UsageError(
            QStringLiteral("unknown console '%1' (expected colorado or daktronics)").arg(args[0]));
    InputSource input(args.value(1));
    const bool json = parser.isSet(QStringLiteral("json"));
    if (args[0] == colorado)
        return parseColorado(input, json, console);
    return parseDaktronics(input, json, parser.isSet(QStringLiteral("each")), console);
}

int ParseCommand::parseColorado(InputSource &input, bool json, Console &console) {
    Kavvix::clsColoradoData parser;
    ProblemReport problems(console.err, QStringLiteral("record"));
    qint64 records = 0;
    qint64 printed = 0;
    readPieces(input, {coloradoMarker, QString(QChar(Kavvix::modKavvix::STX))},
               [&](qint64 number, const PieceCutter::Piece &piece) {
                   records = number;
                   if (!piece.complete) {
                       problems.add(number, tooLong("record"));
                       return;
                   }
                   const QString message = parser.ParseData(piece.text);
                   if (!message.isEmpty())
                       problems.add(number, TextForms::visible(message.trimmed()));
                   if (!parser.DataIsValid())
                       return;
                   if (!json && printed > 0)
                       console.out << '\n';
                   print(parser, json, console);
                   ++printed;
               });
    problems.finish();
    if (records == 0)
        throw UserError(QStringLiteral("no Colorado record found (no STX and no frame marker)"));
    return problems.count() == 0 ? Success : Failure;
}

int ParseCommand::parseDaktronics(InputSource &input, bool json, bool each, Console &console) {
    Kavvix::clsDaktronicsData parser;
    ProblemReport problems(console.err, QStringLiteral("packet"));
    qint64 scorePackets = 0;
    readPieces(input, {QString(QChar(Kavvix::modKavvix::SOH))},
               [&](qint64 number, const PieceCutter::Piece &piece) {
                   if (!piece.complete) {
                       problems.add(number, tooLong("packet"));
                       return;
                   }
                   if (!parser.ContainsValidCommand(piece.text))
                       return;
                   ++scorePackets;
                   const QString message = parser.ParseData(piece.text);
                   if (!message.isEmpty())
                       problems.add(number, TextForms::visible(message.trimmed()));
                   if (each) {
                       if (!json && scorePackets > 1)
                           console.out << '\n';
                       print(parser, json, console);
                   }
               });
    problems.finish();
    if (scorePackets == 0)
        throw UserError(QStringLiteral("no score-data packet found (SOH \"004\" ... EOT)"));
    if (!each)
        print(parser, json, console);
    return problems.count() == 0 ? Success : Failure;
}

void ParseCommand::print(const QObject &scoreSet, bool json, Console &console) {
    if (json)
        ScoreSetPrinter::printJsonLine(scoreSet, console.out);
    else
        ScoreSetPrinter::printTable(scoreSet, console.out);
}

} // namespace KavvixCli
