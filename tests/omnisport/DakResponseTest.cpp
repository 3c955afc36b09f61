#include "OmniSportFrames.h"

#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

// "900" frames, one per code.
QString answers(const QString &codes) {
    QString out;
    for (const QString &code : codes.split(' '))
        out += frame("900", code);
    return out;
}

TEST(DakResponse, EventsPerStream) {
    struct Case {
        QString input;
        QStringList events;
        bool reenter = false; // the first event's handler feeds an accepted answer itself
    };
    const Case cases[] = {
        {answers("00 07 07"), {"OK", "OK"}},
        {answers("07 00 00 07"), {"OK", "OK", "OK"}},
        {answers("00 03 07"), {"OK", "Invalid Packet Type", "OK"}},
        {answers("08 99 "), {}},
        {damaged(Accepted, 18, u'f'), {"Checksum Error"}},
        {damaged(Accepted, 5, u'x'), {"Invalid data in packet"}},
        {frame("100", QString(40, ' ')) + diveFrame({}) + frame("200", {}), {}},
        // During ResponseOK the receiver has been reset and takes characters; during
        // PacketError it is still busy and discards them.
        {Accepted, {"OK", "OK"}, true},
        {answers("06 00"), {"Not ready to Receive Data", "OK"}, true},
    };
    for (const Case &c : cases) {
        cDakResponse response;
        Events events(response);
        bool fed = !c.reenter;
        auto feedOnce = [&] {
            if (!std::exchange(fed, true))
                feed(response, Accepted);
        };
        QObject::connect(&response, &cDakResponse::ResponseOK, feedOnce);
        QObject::connect(&response, &cDakResponse::PacketError, feedOnce);
        feed(response, c.input);
        EXPECT_EQ(events, c.events) << qPrintable(c.input);
    }
}

// A host may reset the receiver from its own handler (releasing it there is in the bulk-feed
// plans): the text the next handler of the same event sees does not change.
TEST(DakResponse, HandlersMayResetTheReceiver) {
    cDakResponse resetting;
    QStringList seen;
    QObject::connect(&resetting, &cDakResponse::PacketError, [&](const QString &message) {
        seen << message;
        resetting.Reset();
    });
    QObject::connect(&resetting, &cDakResponse::PacketError,
                     [&](const QString &message) { seen << message; });
    feed(resetting, damaged(Accepted, 3, u'X'));
    EXPECT_EQ(seen, QStringList({"Invalid data in packet", "Invalid data in packet"}));
}

} // namespace
