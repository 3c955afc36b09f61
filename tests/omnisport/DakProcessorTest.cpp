#include "OmniSportFrames.h"
#include "RecordingUtility.h"
#include "omnisport/FrameVerification.h"

#include <kavvix/cDakProcessor.h>
#include <kavvix/modKavvix.h>

#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

// The checks themselves, where cutting cannot reach (a cut frame runs from a SYN to an ETB):
// the numbers of the failed checks, with the digit check made even after a failed SYN or ETB
// check and the checks after a failed zero field skipped.
TEST(FrameVerification, ChecksRunInOrderWithTheirSkips) {
    const QString good = frame("900", QStringLiteral("00"));
    const struct {
        QString text;
        const char *failed;
    } cases[] = {{QString(), "13"},
                 {'x' + good.mid(1, good.size() - 2), "1"},
                 {damaged(good, 2, u'A').chopped(1), "23"},
                 {damaged(damaged(good, 3, u'1'), 10, u'x'), "4"},
                 {good, ""}};
    for (const auto &c : cases) {
        const FrameVerification v = FrameVerification::of(c.text);
        const bool flags[] = {v.synMissing, v.etbMissing, v.digitInvalid,    v.zeroFieldInvalid,
                              v.sohMissing, v.eotMissing, v.checksumMismatch};
        QString failed;
        for (int i = 0; i < 7; ++i)
            if (flags[i])
                failed += QString::number(i + 1);
        EXPECT_EQ(failed, c.failed);
        EXPECT_EQ(v.valid(), failed.isEmpty());
    }
}

LogEntry syn(int position) {
    return {2, "AddChar", QStringLiteral("Found SYN at %1").arg(position), 0};
}
LogEntry etb(int position) {
    return {3, "AddChar", QStringLiteral("Found ETB at %1").arg(position), 0};
}
LogEntry entry(qint32 number, const char *procedure, const QString &message) {
    return {number, QLatin1String(procedure), message, 0};
}
// The SYN and ETB entries of a frame that follows offset stored characters.
QList<LogEntry> cut(int offset, const QString &f) {
    return {syn(offset + 1), etb(offset + f.size())};
}

QStringList chars(const QString &text) {
    QStringList out;
    for (QChar c : text)
        out << QString(c);
    return out;
}

// The events of a processor in the order raised: "V:" version, "E:" error text, "D" dive.
struct ProcessorLog {
    explicit ProcessorLog(cDakProcessor &p) {
        QObject::connect(&p, &cDakProcessor::SoftwareVersion,
                         [this](const QString &s) { events << "V:" + s; });
        QObject::connect(&p, &cDakProcessor::COMMError,
                         [this](const QString &s) { events << "E:" + s; });
        QObject::connect(&p, &cDakProcessor::DiveResult, [this] { events << "D"; });
    }
    QStringList events;
};

struct Case {
    const char *name;
    QStringList input; // one AddChar argument each
    QList<LogEntry> logs;
    QStringList events;
};

QList<Case> processorCases() {
    using modKavvix::ETB, modKavvix::SYN;
    const QString request = frame("200", {}), ok = frame("900", QStringLiteral("00"));
    const QString version = frame("100", QStringLiteral("   OmniSport 2.10 ").leftJustified(40));
    const QString badSum = damaged(ok, 18, u'f'), unknown = frame("900", "08");
    const QString dive = diveFrame(QStringLiteral("012A")),
                  short305 = frame("305", QString(78, ' '));
    const QString format = "E:Incorrect data format received", v210 = "V:OmniSport 2.10";
    const QString failed = "E:Incorrect dive result received (";
    const QString msg11 = "unknown command (11,3), data:" + request + ":";
    const QString msg10 = ":7F: <> :7f:, Data:" + badSum + ":";
    const QString msg13 = "(14,2), data:" + unknown + ":";
    const QStringList twoCharTexts = QStringList{"x" + ctl(SYN)} << chars(version.chopped(1))
                                                                 << ctl(ETB) + "x" << chars(ok);
    // clang-format off
    QList<Case> cases = {
        {"request is not handled", chars(request),
         cut(0, request) << entry(11, "ProcessCommandLayer", msg11), {}},
        {"noise, lone ETB", chars("ab" + ctl(ETB) + version), cut(3, version), {v210}},
        {"second SYN restarts", chars(ctl(SYN) + "x" + version),
         QList<LogEntry>{syn(1)} << cut(2, version), {v210}},
        {"two-character texts", twoCharTexts, QList<LogEntry>{syn(3)} << cut(60, ok), {}},
        {"lower-case sum", chars(badSum), cut(0, ok) << entry(10, "VerifyDataStream", msg10), {}},
        {"responses 00, 07, 08", chars(ok + frame("900", "07") + unknown),
         cut(0, ok) << cut(19, ok) << cut(38, ok) << entry(13, "ProcessResponseCode", msg13), {}},
        {"dive, buffer kept", chars(dive + ok), cut(0, dive) << cut(96, ok), {"D"}},
        {"dive of 95, emptied", chars(short305 + ok), cut(0, short305) << cut(0, ok), {format}},
        {"dive of 97", chars(frame("305", QString(80, ' '))), cut(0, QString(97, ' ')), {format}},
        {"event number 9E9", chars(diveFrame("9E9")), cut(0, dive), {failed + "50)"}},
        {"dive total 1E99", chars(diveFrame(QString(67, ' ') + "1E99")), cut(0, dive),
         {failed + "260)"}},
    };
    // clang-format on
    // Each error code empties the buffer: the next SYN is at position 1 again.
    const char *texts[] = {"Buffer Overrun",   "Checksum Error",   "Invalid Packet Type",
                           "Invalid Filename", "Record Not Found", "Not ready to Receive Data"};
    for (int code = 1; code <= 6; ++code) {
        const QString error = frame("900", QStringLiteral("0%1").arg(code));
        cases.append({"error code",
                      chars(error + ok),
                      cut(0, error) << cut(0, ok),
                      {"E:" + QLatin1String(texts[code - 1])}});
    }
    // Version replies of 56 and 58 characters are refused; the buffer is kept.
    for (int length : {56, 58}) {
        const QString reply = frame("100", QString(length - 17, 'v'));
        cases.append({"version reply length",
                      chars(reply + ok),
                      cut(0, reply) << entry(12, "GetVersionInformation",
                                             "invalid length, data:" + reply + ":")
                                    << cut(length, ok),
                      {format}});
    }
    // Failed checks, each logged alone: the SOH check is skipped after a damaged zero field.
    const struct {
        qsizetype position;
        char16_t c;
        qint32 number;
        const char *label;
    } damage[] = {{2, u'A', 6, "(2,1) not numeric"}, {2, u' ', 6, "(2,1) not numeric"},
                  {2, 2, 6, "(2,1) not numeric"},    {4, u'O', 7, "(3,7) invalid"},
                  {10, u'x', 8, "(10,1) <> SOH"},    {16, u'0', 9, "first of last 4 <> EOT"}};
    for (const auto &d : damage) {
        QString bad = damaged(ok, d.position, d.c);
        if (d.number == 7)
            bad = damaged(bad, 10, u'x');
        cases.append({d.label,
                      chars(bad),
                      cut(0, bad) << entry(d.number, "VerifyDataStream",
                                           QLatin1String(d.label) + ", Data:" + bad + ":"),
                      {}});
    }
    for (char16_t digit : {u'0', u'9'}) {
        const QString reply = resum(damaged(frame("100", "1.0" + QString(37, ' ')), 2, digit));
        cases.append({"header digit", chars(reply), cut(0, reply), {"V:1.0"}});
    }
    return cases;
}

TEST(DakProcessor, EventsAndLogEntriesPerStream) {
    for (const Case &c : processorCases()) {
        for (bool debug : {true, false}) {
            SCOPED_TRACE(std::string(c.name) + (debug ? " (log on)" : " (log off)"));
            LogRecorder recorder;
            modKavvix::setDebugEnabled(debug);
            if (!debug)
                recorder.failNextWrite(); // any cUtility call would now throw
            cDakProcessor processor;
            ProcessorLog log(processor);
            for (const QString &s : c.input)
                processor.AddChar(s);
            EXPECT_EQ(log.events, c.events);
            EXPECT_EQ(recorder.entries(), debug ? c.logs : QList<LogEntry>());
        }
    }
    modKavvix::setDebugEnabled(false);
}

TEST(DakProcessor, VersionRequestIsTheSeventeenBytes) {
    EXPECT_EQ(cDakProcessor().SoftwareVersionRequest().toLatin1(),
              QByteArray::fromHex("1631303030303030300132303004313817"));
    // A character beyond Latin-1 travels as '?', and is summed as the byte that travels.
    EXPECT_EQ(modKavvix::CalculateChecksum(u"\u0100"), QString(u'?').toLatin1().toHex().toUpper());
}

} // namespace
