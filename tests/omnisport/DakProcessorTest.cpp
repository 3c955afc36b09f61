#include "OmniSportFrames.h"

#include <kavvix/Error.h>
#include <kavvix/cDiveResult.h>

#include <QMetaProperty>
#include <QPointer>
#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

LogEntry found(const char *what, qsizetype position) {
    return {what[0] == 'S' ? 2 : 3, "AddChar",
            QStringLiteral("Found %1 at %2").arg(what).arg(position), 0};
}

// A frame fed on its own, then an accepted "900" answer.
struct Row {
    QString frame;
    qint32 number = 0;      // the entry logged after the frame's SYN and ETB entries (0: none),
    const char *label = ""; // with the message label + frame + ":"
    QString event{};        // the one event raised, if any
    bool clears = false;    // the frame empties the buffer: the next SYN is at 1 again
};

QList<Row> rows() {
    const QString &ok = Accepted, format = "E:Incorrect data format received";
    const QString v10 = QStringLiteral(" 1.0 ").leftJustified(40);
    const char *const badLength = "invalid length, data:";
    QList<Row> rows = {
        {frame("200", {}), 11, "unknown command (11,3), data:"},
        {damaged(ok, 18, u'f'), 10, ":7F: <> :7f:, Data:"},
        {frame("900", "07")},
        {frame("900", "08"), 13, "(14,2), data:"},
        {frame("100", QString(39, 'v')), 12, badLength, format},
        {frame("100", QString(41, 'v')), 12, badLength, format},
        // The SOH check is skipped after a failed zero-field check.
        {damaged(damaged(ok, 4, u'O'), 10, u'x'), 7, "(3,7) invalid, Data:"},
        {damaged(ok, 10, u'x'), 8, "(10,1) <> SOH, Data:"},
        {damaged(ok, 16, u'0'), 9, "first of last 4 <> EOT, Data:"},
        {diveFrame("012A"), 0, "", "D"},
        {frame("305", QString(78, ' ')), 0, "", format, true},
        {frame("305", QString(80, ' ')), 0, "", format, true},
        {diveFrame("9E9"), 0, "", "E:Incorrect dive result received (50)"},
        {diveFrame(QString(67, ' ') + "1E99"), 0, "", "E:Incorrect dive result received (260)"},
    };
    for (QChar d : QStringLiteral("09A \2")) // header digits: only "0" to "9" pass
        rows.append(d.isDigit() ? Row{frame("100", v10, d), 0, "", "V:1.0"}
                                : Row{frame("100", v10, d), 6, "(2,1) not numeric, Data:"});
    for (const auto &[code, text] : ErrorCodes)
        rows.append({frame("900", code), 0, "", "E:" + QLatin1String(text), true});
    return rows;
}

TEST(DakProcessor, EventsAndLogEntriesPerFrame) {
    for (const Row &r : rows()) {
        SCOPED_TRACE(qPrintable(r.frame));
        QList<LogEntry> expected = {found("SYN", 1), found("ETB", r.frame.size())};
        const char *const procedures[] = {"VerifyDataStream", "ProcessCommandLayer",
                                          "GetVersionInformation", "ProcessResponseCode"};
        if (r.number)
            expected << LogEntry{r.number, procedures[qMax(0, r.number - 10)],
                                 r.label + r.frame + ':', 0};
        const qsizetype next = r.clears ? 0 : r.frame.size();
        expected << found("SYN", next + 1) << found("ETB", next + Accepted.size());
        const QString input = r.frame + Accepted;
        for (bool debug : {true, false}) {
            DebugLog log(debug);
            if (!debug)
                log.failWriteAt(1); // any cUtility call would now throw
            cDakProcessor processor;
            Events events(processor);
            feed(processor, input);
            EXPECT_EQ(events, r.event.isEmpty() ? QStringList() : QStringList{r.event}) << debug;
            EXPECT_EQ(log.entries(), debug ? expected : QList<LogEntry>()) << debug;
        }
        // The writer failing at any entry (the entries 3 and 4 to 13 of a frame are written by
        // one AddChar call): the failure leaves AddChar, the next frame is understood.
        for (int k = 1; k <= expected.size(); ++k) {
            DebugLog log;
            log.failWriteAt(k);
            cDakProcessor processor;
            Events events(processor);
            EXPECT_THROW(feed(processor, input), Error) << k;
            events.clear();
            feed(processor, frame("900", "03"));
            EXPECT_EQ(events, QStringList{"E:Invalid Packet Type"}) << k;
        }
    }
}

// Texts keep their blanks, numbers are read as written; the board level precedes the scores.
// Over a long meet the processor keeps only its latest records: the oldest one nobody took goes,
// one a host took stays valid for as long as the host keeps it, one a host deleted does no harm.
TEST(DiveResult, DecodedAndValidForAsLongAsTheHostKeepsIt) {
    QObject owner;
    cDakProcessor processor;
    QList<QPointer<cDiveResult>> seen;
    QStringList fields;
    QObject::connect(&processor, &cDakProcessor::DiveResult, [&](cDiveResult *r) {
        seen << r;
        if (seen.size() == 1) {
            const QMetaObject &mo = cDiveResult::staticMetaObject;
            for (int i = mo.propertyOffset(); i < mo.propertyCount(); ++i) {
                const QVariant v = mo.property(i).read(r);
                fields << mo.property(i).name() +
                              ('=' + (v.typeId() == QMetaType::Float ? QString::number(v.toFloat())
                                                                     : v.toString()));
            }
        } else if (seen.size() == 2) {
            r->setParent(&owner);
        } else if (seen.size() == 3) {
            delete r;
        }
    });
    const QString frame = diveFrame("012AF 030012 105C2.43M       "
                                    "8.5  8.5    7.0 10  0.5 9.5 6.0 5.5 N  57.60312.45");
    for (int i = 0; i <= cDakProcessor::KeptResults + 1; ++i)
        feed(processor, frame);
    EXPECT_EQ(fields.join('|').toStdString(),
              "EventNumberN=12|EventNumberA=A|Stage=F|InsertOrder= |DiveRound=3|DivingOrder=12|"
              "DiveNumber= 105|DivePos=C|DiveDD=2.4|J1Score=8.5|J2Score=8.5|J3Score=0|"
              "J4Score=7|J5Score=10|J6Score=0.5|J7Score=9.5|J8Score=6|J9Score=5.5|BALKflag=N|"
              "FAILflag= |DiveTotal=57.6|TotalScore=312.45|BoardLevel=3M       ");
    ASSERT_EQ(seen.size(), cDakProcessor::KeptResults + 2);
    EXPECT_TRUE(seen[0].isNull());
    ASSERT_FALSE(seen[1].isNull());
    EXPECT_EQ(seen[1]->DivingOrder(), 12);
    EXPECT_EQ(std::count_if(seen.begin(), seen.end(), [](const auto &r) { return !r.isNull(); }),
              cDakProcessor::KeptResults);
}

} // namespace
