#include "PieceCutter.h"
#include "ProblemReport.h"
#include "TextForms.h"

#include <QJsonArray>
#include <QJsonDocument>
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

TEST(ProblemReport, ShowsEachMessageOnceAndSumsUpTheRepeats) {
    QString text;
    QTextStream err(&text);
    ProblemReport report(err, QStringLiteral("record"));
    for (const auto &[number, message] :
         {std::pair{1, "A"}, {2, "B"}, {3, "A"}, {4, "A"}, {5, "C"}, {6, "B"}})
        report.add(number, QLatin1String(message));
    report.finish();
    err.flush();
    EXPECT_EQ(text, "record 1: A\n"
                    "record 2: B\n"
                    "record 5: C\n"
                    "record 1: the same message 2 more times, the last in record 4\n"
                    "record 2: the same message 1 more time, the last in record 6\n");
    EXPECT_EQ(report.count(), 6);
}

// Input full of different faults: a bounded number of lines, and every fault counted.
TEST(ProblemReport, ShowsAtMostMaxShownDifferentMessages) {
    QString text;
    QTextStream err(&text);
    ProblemReport report(err, QStringLiteral("packet"));
    for (int i = 0; i < 100000; ++i)
        report.add(i + 1, QStringLiteral("fault %1").arg(i % 50000));
    report.finish();
    err.flush();
    EXPECT_EQ(text.count(u'\n'), ProblemReport::MaxShown * 2 + 1);
    EXPECT_TRUE(text.endsWith(
        QStringLiteral("99800 more problems with other messages not shown (100000 in all)\n")))
        << text.right(200).toStdString();
}

// Floats print as the shortest text that reads back as the same float, in tables and JSON.
TEST(TextForms, FloatsAsTheirShortestText) {
    const std::pair<float, const char *> cases[] = {
        {2.4f, "2.4"}, {0.1f, "0.1"}, {155.7f, "155.7"}, {8.0f, "8"}, {7.5f, "7.5"}, {0.0f, "0"},
    };
    for (const auto &[value, text] : cases) {
        EXPECT_EQ(TextForms::shortest(value), QLatin1String(text));
        EXPECT_EQ(QJsonDocument(QJsonArray{TextForms::asJsonNumber(value)})
                      .toJson(QJsonDocument::Compact),
                  QByteArray("[") + text + "]");
        EXPECT_EQ(float(TextForms::asJsonNumber(value)), value);
    }
    EXPECT_EQ(TextForms::visible(QStringLiteral("a\x1b[31mb\x07")), "a<x1B>[31mb<x07>");
}

} // namespace
