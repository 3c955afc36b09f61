#include <kavvix/simulator/ConsoleSimulator.h>

#include "omnisport/CommandCodes.h"
#include "omnisport/DiveResultFrame.h"
#include "omnisport/DiveSheetPackets.h"
#include "omnisport/FrameCutter.h"
#include "omnisport/FrameLayout.h"
#include "omnisport/FrameVerification.h"
#include "omnisport/ResponseCodes.h"

#include <kavvix/Error.h>
#include <kavvix/modKavvix.h>

#include <QSocketNotifier>
#include <QTextStream>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

namespace Kavvix {

namespace {

constexpr qsizetype BitsPerCharacter = 11;

Error systemError(const char *what) {
    return Error::invalidArgument(
        QStringLiteral("%1: %2").arg(QLatin1String(what), QString::fromLocal8Bit(strerror(errno))));
}

QString ack(QStringView code) {
    return modKavvix::BuildFrame(CommandCodes::Response.toString(), code.toString());
}

} // namespace

ConsoleSimulator::ConsoleSimulator(QObject *parent) : QObject(parent) {
    m_master = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0)
        throw systemError("posix_openpt");
    char name[128] = {};
    if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0 ||
        ::ptsname_r(m_master, name, sizeof name) != 0) {
        const Error error = systemError("pseudo-terminal setup");
        closeLine();
        throw error;
    }
    m_slavePath = QString::fromLocal8Bit(name);
    ::fcntl(m_master, F_SETFL, ::fcntl(m_master, F_GETFL) | O_NONBLOCK);

    // Without an open slave the master reads fail (EIO); and the line must be raw, or the
    // terminal would echo and translate what passes through it.
    m_slaveKeeper = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK);
    termios tio{};
    if (m_slaveKeeper < 0 || ::tcgetattr(m_slaveKeeper, &tio) != 0) {
        const Error error = systemError("pseudo-terminal slave");
        closeLine();
        throw error;
    }
    ::cfmakeraw(&tio);
    ::tcsetattr(m_slaveKeeper, TCSANOW, &tio);

    m_cutter = std::make_unique<FrameCutter>(
        FrameCutter::Handlers{{}, {}, [this](const QString &frame) { onFrame(frame); }});
    m_notifier = new QSocketNotifier(m_master, QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &ConsoleSimulator::readMaster);
    m_writeNotifier = new QSocketNotifier(m_master, QSocketNotifier::Write, this);
    m_writeNotifier->setEnabled(false);
    connect(m_writeNotifier, &QSocketNotifier::activated, this, &ConsoleSimulator::flushLine);

    m_paceTimer.setTimerType(Qt::PreciseTimer);
    m_paceTimer.setInterval(1);
    connect(&m_paceTimer, &QTimer::timeout, this, &ConsoleSimulator::pace);
    m_clock.start();
}

ConsoleSimulator::~ConsoleSimulator() {
    closeLine();
}

void ConsoleSimulator::planAnswer(int k, Answer answer, const QString &responseCode) {
    m_plans.insert(k, {answer, responseCode});
}

void ConsoleSimulator::setDefaultAnswer(Answer answer, const QString &responseCode) {
    m_default = {answer, responseCode};
}

void ConsoleSimulator::setLineRate(qint32 baud) {
    m_lineRate = qMax(0, baud);
    // Output already paced at the old rate goes on at the new one from now; with no rate at
    // all, at once.
    m_paceSent = 0;
    m_paceClock.start();
    if (m_lineRate == 0 && !m_outgoing.isEmpty()) {
        m_paceTimer.stop();
        m_unwritten += m_outgoing;
        m_outgoing.clear();
        flushLine();
    }
}

void ConsoleSimulator::readMaster() {
    char buffer[4096];
    for (;;) {
        const ssize_t n = ::read(m_master, buffer, sizeof buffer);
        if (n <= 0)
            break; // EAGAIN: all read
        if (m_answerDoneNs >= 0) {
            m_turnaroundsUs << (m_clock.nsecsElapsed() - m_answerDoneNs) / 1000;
            m_answerDoneNs = -1;
        }
        receive(QByteArray(buffer, n));
        if (isHungUp())
            return;
    }
}

void ConsoleSimulator::receive(const QByteArray &bytes) {
    m_received += bytes;
    for (char c : bytes) {
        m_cutter->addChar(QString(QLatin1Char(c)));
        if (isHungUp())
            return;
    }
}

void ConsoleSimulator::onFrame(const QString &frame) {
    ++m_frameCount;
    const bool valid = FrameVerification::of(frame).valid();
    m_frames << frame;
    emit frameReceived(frame, valid);
    answer(frame, valid, m_plans.value(m_frameCount, m_default));
}

void ConsoleSimulator::answer(const QString &frame, bool valid, const Plan &plan) {
    const QStringView command = FrameLayout::commandOf(frame);
    const bool upload = CommandCodes::isUpload(command);
    QString normal;
    if (!valid)
        normal = ack(u"02");
    else if (command == CommandCodes::VersionRequest)
        normal = modKavvix::BuildFrame(
            CommandCodes::VersionReply.toString(),
            m_version.leftJustified(FrameLayout::VersionTextWidth, QLatin1Char(' '), true));
    else if (upload)
        normal = ack(ResponseCodes::Accepted);

    QString reply;
    switch (plan.answer) {
    case Answer::Normal:
        reply = normal;
        break;
    case Answer::Reject:
        reply = ack(plan.code);
        break;
    case Answer::AckThen07:
        // The console acknowledges upload frames only; a version request gets its reply.
        reply = upload ? ack(ResponseCodes::Accepted) + ack(ResponseCodes::ReceivedSuccessfully)
                       : normal;
        break;
    case Answer::Silent:
        break;
    case Answer::BadChecksum:
        reply = normal;
        if (!reply.isEmpty()) { // a different first checksum digit can no longer match
            const qsizetype at = FrameLayout::checksumPosition(reply.size()) - 1;
            reply[at] = reply[at] == u'F' ? QLatin1Char('0') : QLatin1Char('F');
        }
        break;
    case Answer::Garbage:
        reply = QStringLiteral("#~@!") + QChar(modKavvix::SYN) + QStringLiteral("1XXXXXXX") +
                QChar(modKavvix::SOH) + QStringLiteral("900") + QChar(modKavvix::EOT) +
                QStringLiteral("00") + QChar(modKavvix::ETB);
        break;
    case Answer::HangUp:
        hangUp();
        break;
    }
    if (!reply.isEmpty()) {
        send(reply);
        emit answered(frame);
    }
}

QString ConsoleSimulator::diveResultFrame(const cDiveResult &dive) {
    return DiveResultFrame::encode(dive);
}

QString ConsoleSimulator::commandOf(const QString &frame) {
    return FrameLayout::commandOf(frame).toString();
}

QString ConsoleSimulator::responseCodeOf(const QString &frame) {
    return FrameLayout::responseCodeOf(frame).toString();
}

void ConsoleSimulator::sendDiveResult(const cDiveResult &dive) {
    send(diveResultFrame(dive));
}

void ConsoleSimulator::sendRaw(const QByteArray &bytes) {
    if (isHungUp())
        return;
    if (m_outgoing.size() + m_unwritten.size() + bytes.size() > MaxQueued) {
        // Whole messages only: the other side, if it ever reads, sees no torn frame.
        m_droppedBytes += bytes.size();
        emit outputDropped(bytes.size());
        return;
    }
    if (m_lineRate > 0) {
        if (m_outgoing.isEmpty()) {
            m_paceSent = 0;
            m_paceClock.start();
            m_paceTimer.start();
        }
        m_outgoing += bytes;
        pace();
    } else {
        m_unwritten += bytes;
        flushLine();
    }
}

void ConsoleSimulator::send(const QString &text) {
    sendRaw(text.toLatin1());
}

// Writes what the pseudo-terminal takes now; the rest waits for the write notifier, so a
// reader that stops reading pauses the output instead of blocking the event loop.
void ConsoleSimulator::flushLine() {
    while (!m_unwritten.isEmpty() && !isHungUp()) {
        const ssize_t n = ::write(m_master, m_unwritten.constData(), size_t(m_unwritten.size()));
        if (n > 0) {
            m_unwritten.remove(0, n);
        } else if (n == 0 || errno == EAGAIN) {
            break;
        } else if (errno != EINTR) {
            m_unwritten
                .clear(); // the line is gone; what was not written is lost, as on a cut cable
        }
    }
    if (m_writeNotifier)
        m_writeNotifier->setEnabled(!m_unwritten.isEmpty());
    if (m_unwritten.isEmpty())
        m_answerDoneNs = m_clock.nsecsElapsed();
}

void ConsoleSimulator::pace() {
    // Characters due by now at the line rate, less those already written.
    const qint64 due = m_paceClock.nsecsElapsed() * m_lineRate / BitsPerCharacter / 1000000000;
    const qint64 count = qMin<qint64>(due - m_paceSent, m_outgoing.size());
    if (count > 0) {
        m_unwritten += m_outgoing.left(count);
        m_outgoing.remove(0, count);
        m_paceSent += count;
        flushLine();
    }
    if (m_outgoing.isEmpty())
        m_paceTimer.stop();
}

void ConsoleSimulator::hangUp() {
    m_paceTimer.stop();
    m_outgoing.clear();
    m_unwritten.clear();
    closeLine();
}

void ConsoleSimulator::closeLine() {
    delete m_notifier;
    m_notifier = nullptr;
    delete m_writeNotifier;
    m_writeNotifier = nullptr;
    if (m_slaveKeeper >= 0)
        ::close(m_slaveKeeper);
    if (m_master >= 0)
        ::close(m_master);
    m_slaveKeeper = m_master = -1;
}

QStringList ConsoleSimulator::uploadFrames() const {
    QStringList out;
    for (const QString &frame : m_frames)
        if (CommandCodes::isUpload(FrameLayout::commandOf(frame)))
            out << frame;
    return out;
}

QStringList ConsoleSimulator::diverRows() const {
    QStringList rows;
    for (const QString &frame : uploadFrames()) {
        for (const auto &[divingOrder, row] : DiveSheetPackets::rowsOf(frame)) {
            if (divingOrder < 1)
                continue;
            while (rows.size() < divingOrder)
                rows << QString();
            rows[divingOrder - 1] = row;
        }
    }
    return rows;
}

void ConsoleSimulator::printDiverRows(QTextStream &out) const {
    const QStringList rows = diverRows();
    for (qsizetype i = 0; i < rows.size(); ++i)
        if (!rows[i].isEmpty())
            out << QStringLiteral("%1 %2").arg(i + 1, 2, 10, QLatin1Char('0')).arg(rows[i]) << '\n';
}

} // namespace Kavvix
