#include "DriverWarnings.h"
#include "PieceCutter.h"
#include "ProblemReport.h"

#include <QStringList>
#include <gtest/gtest.h>

using namespace KavvixCli;

namespace {

const QString STX(QChar(2));
const QString Marker = QStringLiteral("W\\0\\101\\");

using Pieces = QList<std::pair<QString, bool>>; // text, complete

Pieces cut(const QString &text, const QStringList &openers, qsizetype maxLength, qsizetype chunk) {
    Pieces pieces;
    PieceCutter cutter(openers, maxLength, [&](const PieceCutter::Piece &piece) {
        pieces << std::pair{piece.text, piece.complete};
    });
    for (qsizetype at = 0; at < text.size(); at += chunk)
        cutter.feed(QStringView(text).mid(at, chunk));
    cutter.finish();
    return pieces;
}

// Every way of splitting the text into chunks gives the same pieces.
TEST(PieceCutter, CutsAtEveryOpenerWhateverTheChunks) {
    const struct {
        const char *what;
        QString text;
        qsizetype maxLength;
        Pieces expected;
    } cases[] = {
        {"no opener", "hello", 100, {}},
        {"text before the first opener is dropped",
         "ab" + STX + "cd" + STX + "ef",
         100,
         {{STX + "cd", true}, {STX + "ef", true}}},
        {"openers next to each other",
         STX + STX + STX,
         100,
         {{STX, true}, {STX, true}, {STX, true}}},
        {"the marker form, and half a marker at the end stays in its piece",
         "x" + Marker + "rec\\\\" + STX + "y" + Marker.left(5),
         100,
         {{Marker + "rec\\\\", true}, {STX + "y" + Marker.left(5), true}}},
        {"a piece of exactly the longest length", STX + "abc", 4, {{STX + "abc", true}}},
        {"a longer piece keeps its beginning only",
         "z" + STX + "abcdefgh" + STX + "ab",
         4,
         {{STX + "abc", false}, {STX + "ab", true}}},
    };
    for (const auto &c : cases) {
        for (qsizetype chunk : {1, 2, 3, 7, 1000}) {
            SCOPED_TRACE(std::string(c.what) + ", chunks of " + std::to_string(chunk));
            EXPECT_EQ(cut(c.text, {Marker, STX}, c.maxLength, chunk), c.expected);
        }
    }
}

// Each message once, then how often it came again; input full of different faults gives a
// bounded number of lines, and every fault is counted.
TEST(ProblemReport, ShowsEachMessageOnceAndSumsUpTheRepeats) {
    const auto report = [](const QStringList &messages) {
        QString text;
        QTextStream err(&text);
        ProblemReport problems(err, QStringLiteral("record"));
        for (qsizetype i = 0; i < messages.size(); ++i)
            problems.add(i + 1, messages[i]);
        problems.finish();
        err.flush();
        return text;
    };
    EXPECT_EQ(report({"A", "B", "A", "A", "C", "B"}),
              "record 1: A\n"
              "record 2: B\n"
              "record 5: C\n"
              "record 1: the same message 2 more times, the last in record 4\n"
              "record 2: the same message 1 more time, the last in record 6\n");
    QStringList many;
    for (int i = 0; i < 100000; ++i)
        many << QStringLiteral("fault %1").arg(i % 50000);
    const QString text = report(many);
    EXPECT_EQ(text.count(u'\n'), ProblemReport::MaxShown * 2 + 1);
    EXPECT_TRUE(text.endsWith(
        QStringLiteral("99800 more problems with other messages not shown (100000 in all)\n")));
}

QStringList shown;

// The driver's multi-line warning about a statement lost with its server is dropped; every
// other message still reaches the handler installed before.
TEST(DriverWarnings, DropOnlyTheLostStatementWarning) {
    const QtMessageHandler original = qInstallMessageHandler(
        [](QtMsgType, const QMessageLogContext &, const QString &text) { shown << text; });
    KavvixCli::DriverWarnings::install();
    qWarning("Unable to free statement: FATAL:  terminating connection due to administrator "
             "command\nserver closed the connection unexpectedly");
    qWarning("kavvix: cannot write log file");
    qInstallMessageHandler(original);
    EXPECT_EQ(shown, QStringList{"kavvix: cannot write log file"});
}

} // namespace
