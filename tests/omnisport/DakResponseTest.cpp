#include "OmniSportFrames.h"

#include <kavvix/cDakResponse.h>

#include <gtest/gtest.h>

using namespace Kavvix;
using namespace KavvixTest;

namespace {

QString answer(const QString &code) {
    return frame("900", code);
}

// The events of a receiver in the order raised: "OK" or the error text.
struct ResponseLog {
    explicit ResponseLog(cDakResponse &r) {
        QObject::connect(&r, &cDakResponse::ResponseOK, [this] { events << "OK"; });
        QObject::connect(&r, &cDakResponse::PacketError, [this](const QString &s) { events << s; });
    }
    QStringList events;
};

TEST(DakResponse, EventsPerStream) {
    const QString ok = answer("00"), seven = answer("07");
    // Characters after the code are ignored; these make the checksums 0A, FF and 00.
    const QString sums[] = {answer(QStringLiteral("00") + QChar(139)),
                            answer(QStringLiteral("00") + QChar(128)),
                            answer(QStringLiteral("00") + QChar(129))};
    ASSERT_EQ(sums[0].mid(17, 2) + sums[1].mid(17, 2) + sums[2].mid(17, 2), "0AFF00");
    const struct {
        QStringList input;
        QStringList events;
    } cases[] = {
        {{answer("01"), answer("02"), answer("03")},
         {"Buffer Overrun", "Checksum Error", "Invalid Packet Type"}},
        {{answer("04"), answer("05"), answer("06")},
         {"Invalid Filename", "Record Not Found", "Not ready to Receive Data"}},
        {{answer("08"), answer("99"), answer("")}, {}},
        {{seven}, {}},
        {{ok, seven}, {"OK", "OK"}},
        {{ok, seven, seven}, {"OK", "OK"}},
        {{seven, ok, ok, seven}, {"OK", "OK", "OK"}},
        {{ok, answer("03"), seven}, {"OK", "Invalid Packet Type", "OK"}},
        {{damaged(ok, 17, u'0')}, {"Checksum Error"}},
        {{damaged(ok, 5, u'x')}, {"Invalid data in packet"}},
        {{frame("100", QString(40, ' ')), diveFrame({}), frame("200", {})}, {}},
        {{sums[0], sums[1], sums[2]}, {"OK", "OK", "OK"}},
    };
    for (const auto &c : cases) {
        cDakResponse response;
        ResponseLog log(response);
        for (const QString &text : c.input)
            feed(response, text);
        EXPECT_EQ(log.events, c.events) << qPrintable(c.input.join('|'));
    }
}

// During ResponseOK the receiver has already been reset, so a handler's characters are taken;
// during PacketError it is still busy, so they are discarded.
TEST(DakResponse, CharactersFedFromHandlers) {
    const QString ok = answer("00");
    for (const bool fromError : {false, true}) {
        cDakResponse response;
        ResponseLog log(response);
        bool fed = false;
        auto feedOnce = [&] {
            if (!std::exchange(fed, true))
                feed(response, ok);
        };
        if (fromError)
            QObject::connect(&response, &cDakResponse::PacketError, feedOnce);
        else
            QObject::connect(&response, &cDakResponse::ResponseOK, feedOnce);
        feed(response, fromError ? answer("06") : ok);
        feed(response, ok);
        const QStringList expected = fromError ? QStringList{"Not ready to Receive Data", "OK"}
                                               : QStringList{"OK", "OK", "OK"};
        EXPECT_EQ(log.events, expected);
    }
}

} // namespace
