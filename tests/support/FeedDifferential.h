#pragma once

#include "RecordingUtility.h"

#include <kavvix/Error.h>
#include <kavvix/cDakProcessor.h>
#include <kavvix/cDakResponse.h>
#include <kavvix/modKavvix.h>

#include <QByteArray>
#include <QPointer>
#include <QStringList>

#include <functional>
#include <vector>

// Feeds a receiver a byte stream one character per AddChar call, or by AddData in chunks, and
// traces everything observable in the order it happens: events, diagnostic log entries and
// failures, then how the receiver answers a fixed probe (which shows its buffer positions, a
// frame left pending and a pending acknowledgement). Both ways of feeding must trace the same.
// Shared by the differential test and the differential fuzz target.
namespace KavvixTest {

struct FeedPlan {
    enum class Reaction {
        None,
        FeedMore,       // the handler of the reactAt-th event feeds reentryBytes() itself
        DeleteReceiver, // ... deletes the receiver
        FailLogWrite,   // the reactAt-th log entry fails to be written
    };
    // Empty: one AddChar per character. Otherwise AddData with these chunk sizes, cycled.
    std::vector<qsizetype> chunkSizes;
    bool debug = false;
    Reaction reaction = Reaction::None;
    int reactAt = 1;
};

// What a reacting handler feeds: a bare ETB, then a complete accepted answer.
inline QByteArray reentryBytes() {
    using namespace Kavvix::modKavvix;
    return QByteArray(1, char(ETB)) +
           BuildFrame(QStringLiteral("900"), QStringLiteral("00")).toLatin1();
}

// After the stream: a bare ETB (reports a frame left pending), "07" (a pending "00"), an
// accepted answer and a version reply (the positions the buffer has reached).
inline QByteArray probeBytes() {
    using namespace Kavvix::modKavvix;
    return reentryBytes() + BuildFrame(QStringLiteral("900"), QStringLiteral("07")).toLatin1() +
           BuildFrame(QStringLiteral("100"), QStringLiteral("probe").leftJustified(40)).toLatin1();
}

namespace Differential {

// Hands note() each event of the receiver as a line of the trace.
using Note = std::function<void(const QString &)>;
template <typename Receiver> void connectEvents(Receiver &receiver, const Note &note);
template <> inline void connectEvents(Kavvix::cDakProcessor &p, const Note &note) {
    using P = Kavvix::cDakProcessor;
    QObject::connect(&p, &P::SoftwareVersion, [note](const QString &s) { note("V:" + s); });
    QObject::connect(&p, &P::COMMError, [note](const QString &s) { note("E:" + s); });
    QObject::connect(&p, &P::DiveResult, [note, rp = &p](Kavvix::cDiveResult *r) {
        note("D:" + r->EventNumberA() + r->DiveNumber() + ":" + rp->currentFrame());
    });
}
template <> inline void connectEvents(Kavvix::cDakResponse &r, const Note &note) {
    using R = Kavvix::cDakResponse;
    QObject::connect(&r, &R::ResponseOK, [note] { note(QStringLiteral("OK")); });
    QObject::connect(&r, &R::PacketError,
                     [note, rp = &r](const QString &s) { note(s + "/" + rp->rejectedCode()); });
}

// Feeds bytes as the plan says; false when the receiver is gone or a failure left it.
template <typename Receiver>
bool feed(QPointer<Receiver> &receiver, const QByteArray &bytes, const FeedPlan &plan,
          QStringList &trace) {
    try {
        for (qsizetype at = 0, next = 0; at < bytes.size(); ++next) {
            if (!receiver)
                return false;
            if (plan.chunkSizes.empty()) {
                receiver->AddChar(QString(QLatin1Char(bytes[at++])));
                continue;
            }
            const qsizetype size =
                qMax<qsizetype>(1, plan.chunkSizes[std::size_t(next) % plan.chunkSizes.size()]);
            receiver->AddData(bytes.mid(at, size));
            at += size;
        }
        return bool(receiver);
    } catch (const Kavvix::Error &e) {
        trace << "failure: " + e.description();
        return false;
    }
}

} // namespace Differential

template <typename Receiver> QStringList traceOf(const QByteArray &stream, const FeedPlan &plan) {
    using namespace Differential;
    QStringList trace;
    LogRecorder log;
    log.traceInto(&trace);
    if (plan.reaction == FeedPlan::Reaction::FailLogWrite)
        log.failWriteAt(plan.reactAt);
    Kavvix::modKavvix::setDebugEnabled(plan.debug);

    QPointer<Receiver> receiver = new Receiver;
    int events = 0;
    connectEvents(*receiver, [&](const QString &event) {
        trace << event;
        if (++events != plan.reactAt || !receiver)
            return;
        if (plan.reaction == FeedPlan::Reaction::FeedMore)
            feed(receiver, reentryBytes(), plan, trace);
        else if (plan.reaction == FeedPlan::Reaction::DeleteReceiver)
            delete receiver.data();
    });

    feed(receiver, stream, plan, trace);
    log.failWriteAt(0);
    trace << QStringLiteral("probe");
    if (receiver)
        feed(receiver, probeBytes(), FeedPlan{}, trace);
    delete receiver.data();

    Kavvix::modKavvix::setDebugEnabled(false);
    return trace;
}

} // namespace KavvixTest
