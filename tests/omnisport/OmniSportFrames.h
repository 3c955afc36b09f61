#pragma once

#include "RecordingUtility.h"

#include <kavvix/cDakProcessor.h>
#include <kavvix/cDakResponse.h>
#include <kavvix/modKavvix.h>

#include <QStringList>

namespace KavvixTest {

inline QString ctl(char16_t c) {
    return QString(QChar(c));
}

// A console frame built here, independently of the library's builder.
inline QString frame(const char *command, const QString &data, QChar digit = u'1') {
    using namespace Kavvix::modKavvix;
    const QString body = digit + QStringLiteral("0000000") + ctl(SOH) + command + data + ctl(EOT);
    return ctl(SYN) + body + CalculateChecksum(body) + ctl(ETB);
}

// A "305" frame whose data is 79 characters: data padded with blanks or cut.
inline QString diveFrame(const QString &data) {
    return frame("305", data.leftJustified(79, QLatin1Char(' '), true));
}

// The console's answer that a frame was accepted.
inline const QString Accepted = frame("900", QStringLiteral("00"));

// The text with the character at 1-based position replaced (the checksum is not recomputed).
inline QString damaged(QString text, qsizetype position, QChar c) {
    text[position - 1] = c;
    return text;
}

// The characters of text, each its own text, as a serial port delivers them.
inline QStringList chars(const QString &text) {
    return text.split(QString(), Qt::SkipEmptyParts);
}

// One AddChar call per text.
template <typename Receiver> void feed(Receiver &receiver, const QStringList &texts) {
    for (const QString &text : texts)
        receiver.AddChar(text);
}
template <typename Receiver> void feed(Receiver &receiver, const QString &text) {
    feed(receiver, chars(text));
}

// The console's error codes and the text each raises.
inline const std::pair<const char *, const char *> ErrorCodes[] = {
    {"01", "Buffer Overrun"},   {"02", "Checksum Error"},   {"03", "Invalid Packet Type"},
    {"04", "Invalid Filename"}, {"05", "Record Not Found"}, {"06", "Not ready to Receive Data"}};

// The events of a receiver in the order raised: "V:" version, "E:" error text, "D" dive;
// "OK" or a packet error's text.
struct Events : QStringList {
    explicit Events(Kavvix::cDakProcessor &p) {
        using P = Kavvix::cDakProcessor;
        QObject::connect(&p, &P::SoftwareVersion, [this](const QString &s) { append("V:" + s); });
        QObject::connect(&p, &P::COMMError, [this](const QString &s) { append("E:" + s); });
        QObject::connect(&p, &P::DiveResult, [this] { append("D"); });
    }
    explicit Events(Kavvix::cDakResponse &r) {
        QObject::connect(&r, &Kavvix::cDakResponse::ResponseOK, [this] { append("OK"); });
        QObject::connect(&r, &Kavvix::cDakResponse::PacketError,
                         [this](const QString &s) { append(s); });
    }
};

// Records the log with the diagnostic switch set as given, and turns it off afterwards.
struct DebugLog : LogRecorder {
    explicit DebugLog(bool on = true) { Kavvix::modKavvix::setDebugEnabled(on); }
    ~DebugLog() { Kavvix::modKavvix::setDebugEnabled(false); }
};

} // namespace KavvixTest
