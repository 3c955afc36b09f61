#include "serial/ConsoleSimulator.h"

#include "common/TextPosition.h"
#include "omnisport/FrameVerification.h"

#include <kavvix/modKavvix.h>

#include <QTextStream>
#include <gtest/gtest.h>

// The simulator's answers are exercised end to end by the dialog tests; these check what it
// builds and reports on its own.

using Kavvix::ConsoleSimulator;

TEST(ConsoleSimulator, DiveResultFrameLayout) {
    ConsoleSimulator::DiveFields f;
    f.eventNumber = 7;
    f.divingOrder = 12;
    f.diveNumber = QStringLiteral("5231");
    f.judges = {6.5f, 7, 7.5f, 8, 8.5f, 9, 9.5f, 10, 0};
    f.totalScore = 123.45f;
    const QString frame = ConsoleSimulator::diveResultFrame(f);
    ASSERT_EQ(frame.size(), 96);
    EXPECT_TRUE(Kavvix::FrameVerification::of(frame).valid());
    const struct {
        int p, n;
        const char *text;
    } fields[] = {{11, 3, "305"}, {14, 3, "007"},  {22, 4, "0012"}, {26, 4, "5231"},
                  {31, 3, "2.4"}, {43, 4, " 6.5"}, {71, 4, "10.0"}, {87, 6, "123.45"}};
    for (const auto &fd : fields)
        EXPECT_EQ(Kavvix::textAt(frame, fd.p, fd.n), QLatin1String(fd.text)) << fd.p;
}

TEST(ConsoleSimulator, PrintsTheDiverRowsOfUploadFrames) {
    ConsoleSimulator sim;
    const QString row6 = QStringLiteral(" 1051 2.0").leftJustified(104);
    const QString row7 = QStringLiteral(" 2013 1.9").leftJustified(104);
    // Fed as if received: the frame of diving orders 6 and 7 of 7.
    QObject::connect(&sim, &ConsoleSimulator::frameReceived,
                     [](const QString &, bool valid) { EXPECT_TRUE(valid); });
    sim.receive(
        Kavvix::modKavvix::BuildFrame(QStringLiteral("302"), QStringLiteral("0607") + row6 + row7)
            .toLatin1());
    QString printed;
    QTextStream out(&printed);
    sim.printDiverRows(out);
    out.flush();
    EXPECT_EQ(printed, "06 " + row6 + "\n07 " + row7 + "\n");
}
