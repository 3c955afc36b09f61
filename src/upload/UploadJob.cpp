#include <kavvix/UploadJob.h>

#include "omnisport/CommandCodes.h"
#include "upload/DiveSheetReader.h"
#include "upload/EventValidator.h"

#include <kavvix/Error.h>
#include <kavvix/MeetDatabase.h>
#include <kavvix/cDakResponse.h>
#include <kavvix/comPort.h>

namespace Kavvix {

UploadJob::UploadJob(const QSqlDatabase &odbConn, const QString &sMeetID, const QString &sEventID,
                     QObject *parent)
    : ConsoleJob(parent), m_db(odbConn), m_meetId(sMeetID), m_eventId(sEventID),
      m_diveOrderCommand(CommandCodes::DefaultUpload.toString()) {}

UploadJob::~UploadJob() = default;

QString UploadJob::diveOrderCommand(const QString &letter) {
    return CommandCodes::uploadOf(QStringView(letter).trimmed()).toString();
}

void UploadJob::run() {
    setState(State::Validating);
    const MessageSink sink = [this](const QString &sMessage, bool) { showMessage(sMessage); };
    bool valid = false;
    QList<ValidationProblem> problems;
    try {
        valid = ValidateEvent(m_meetId, m_eventId, m_db, sink, &problems);
    } catch (const std::exception &e) {
        finish(JobResult{JobResult::Kind::Failed, {}, Error::describe(e)},
               QStringLiteral("Process aborted - ") + Error::describe(e));
        return;
    }
    if (!valid) {
        finish(JobResult{JobResult::Kind::ValidationFailed,
                         {},
                         ValidationProblem::describe(problems),
                         problems});
        return;
    }
    UploadEvent();
}

bool UploadJob::UploadEvent() {
    setState(State::Preparing);
    bool portSelected = false;
    try {
        const std::unique_ptr<QSqlQuery> rsDiveSheets =
            modKavvix::GetDiveSheets(m_meetId, m_eventId, m_db);
        if (!rsDiveSheets) {
            finish(JobResult{JobResult::Kind::ValidationFailed, {}, {}},
                   QStringLiteral("Process aborted - No dive sheets found for this event"));
            return false;
        }
        const qint16 last = modKavvix::GetLastDiver(m_meetId, m_eventId, m_db);
        if (last == 0) {
            finish(JobResult{JobResult::Kind::ValidationFailed, {}, {}},
                   QStringLiteral("Process aborted - diving order is invalid"));
            return false;
        }

        DiveSheetPackets packets;
        packets.InitDiverRows(last);
        BuildDiverRows(rsDiveSheets.get(), packets);
        packets.BuildPackets(m_diveOrderCommand);
        m_frames = packets.Packets();
        m_lastSent = -1;
        m_receiver = std::make_unique<cDakResponse>();
        connect(m_receiver.get(), &cDakResponse::ResponseOK, this,
                &UploadJob::m_oDakResp_ResponseOK);
        connect(m_receiver.get(), &cDakResponse::PacketError, this,
                &UploadJob::m_oDakResp_PacketError);

        setState(State::Opening);
        closePort();
        selectPort();
        portSelected = true;
        openPort();
    } catch (const std::exception &e) {
        fail(portSelected ? JobResult::Kind::PortUnavailable : JobResult::Kind::Failed,
             Error::describe(e));
        return false;
    }
    SendNextPacket();
    return true;
}

void UploadJob::fail(JobResult::Kind kind, const QString &description) {
    // Nothing more will be sent: neither the timer nor the port is left running.
    stopWaiting();
    closePort();
    emit alert(QStringLiteral("Problem Transmitting Data"),
               QStringLiteral("An Unexpected error was encountered - ") + description);
    finish(JobResult{kind, {}, description}, QStringLiteral("Process aborted"));
}

void UploadJob::SendNextPacket() {
    resetWaitTicks();
    const qint16 next = qint16(m_lastSent + 1);
    const QString frame = next < m_frames.size() ? m_frames.at(next) : QString();
    if (frame.isEmpty()) {
        finish(JobResult{JobResult::Kind::Sent, {}, {}}, AllDataSent);
        return;
    }
    m_lastSent = next;
    const QString number = QString::number(next + 1);
    showMessage(QStringLiteral("Sending packet ") + number);
    setState(State::Waiting);
    startWaiting();
    try {
        if (port().isOpen()) {
            port().write(frame);
            emit progress(next + 1, framesToSend());
            return;
        }
    } catch (const std::exception &e) {
        // The first frame is sent by UploadEvent, whose failures the operator acknowledges in
        // a box; a later one fails inside the answer's handler, as a rejection does.
        if (next == 0)
            fail(JobResult::Kind::PortUnavailable, Error::describe(e));
        else
            finish(JobResult{JobResult::Kind::PortUnavailable, {}, Error::describe(e)},
                   QStringLiteral("Communications ERROR: ") + Error::describe(e));
        return;
    }
    finish(JobResult{JobResult::Kind::PortUnavailable, {}, {}},
           QStringLiteral("COM port unavailable - unable to transmit packet ") + number);
}

qint16 UploadJob::framesToSend() const {
    const qsizetype empty = m_frames.indexOf(QString());
    return qint16(empty < 0 ? m_frames.size() : empty);
}

void UploadJob::receiveChar(const QString &c) {
    m_receiver->AddChar(c);
}

void UploadJob::m_oDakResp_ResponseOK() {
    stopWaiting();
    emit frameAcknowledged(m_lastSent + 1);
    if (isFinished()) // cancelled by a slot of frameAcknowledged
        return;
    SendNextPacket();
}

void UploadJob::m_oDakResp_PacketError(const QString &sErrMessage) {
    finish(JobResult{JobResult::Kind::Rejected, m_receiver->rejectedCode(), sErrMessage},
           QStringLiteral("Communications ERROR: ") + sErrMessage);
}

void UploadJob::waitTimedOut() {
    finish(JobResult{JobResult::Kind::NoAnswer, {}, {}},
           QStringLiteral("No response received from the OmniSport timer"));
}

QString UploadJob::cancelMessage() const {
    return QStringLiteral("Process aborted - upload cancelled");
}

} // namespace Kavvix
