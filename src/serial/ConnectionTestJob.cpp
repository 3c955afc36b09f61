#include <kavvix/ConnectionTestJob.h>

#include "common/NumericText.h"

#include <kavvix/Error.h>
#include <kavvix/PortTable.h>
#include <kavvix/cDakProcessor.h>
#include <kavvix/cUtility.h>
#include <kavvix/comPort.h>
#include <kavvix/modKavvix.h>

namespace Kavvix {

ConnectionTestJob::ConnectionTestJob(QObject *parent) : ConsoleJob(parent) {}

ConnectionTestJob::~ConnectionTestJob() = default;

void ConnectionTestJob::run() {
    setState(State::Preparing);
    // The steps are numbered as the operator sees them in "UNEXPECTED ERROR: [step]".
    int step = 3;
    try {
        showMessage(QStringLiteral("assigning COM port settings: COM %1, %2")
                        .arg(commPort())
                        .arg(modKavvix::ConsoleLineSettings));
        step = 4;
        stopWaiting();
        step = 5;
        closePort();
        step = 6;
        selectPort();
        step = 7;
        resetWaitTicks();
        step = 8;
        m_receiver = std::make_unique<cDakProcessor>();
        connect(m_receiver.get(), &cDakProcessor::SoftwareVersion, this,
                &ConnectionTestJob::m_oDakRcv_SoftwareVersion);
        connect(m_receiver.get(), &cDakProcessor::COMMError, this,
                &ConnectionTestJob::m_oDakRcv_COMMError);
        step = 9;
        const QString request = m_receiver->SoftwareVersionRequest();
        step = 10;
        setState(State::Opening);
        step = 12;
        openPort();
        step = 13;
        startWaiting();
        setState(State::Waiting);
        step = 14;
        showMessage(QStringLiteral("Message sent to OmniSport, waiting for reply ..."));
        step = 15;
        port().write(request);
    } catch (const std::exception &e) {
        const bool portStep = step == 6 || step == 12 || step == 15;
        finish(JobResult{portStep ? JobResult::Kind::PortUnavailable : JobResult::Kind::Failed,
                         {},
                         Error::describe(e)},
               QStringLiteral("UNEXPECTED ERROR: [%1] %2").arg(step).arg(Error::describe(e)));
    }
}

void ConnectionTestJob::receiveChar(const QString &c) {
    // A log writer that fails must not cost the test its character.
    if (modKavvix::DebugEnabled())
        writeLogQuietly(1, QStringLiteral("comPort_OnComm"), CharacterLine(c.front()));
    m_receiver->AddChar(c);
}

void ConnectionTestJob::waitTimedOut() {
    finish(JobResult{JobResult::Kind::NoAnswer, {}, {}},
           QStringLiteral("No response from OmniSport - Please check your connections"));
}

void ConnectionTestJob::waitCounted(qint16 ticks) {
    emit waitTicked(ticks);
}

QString ConnectionTestJob::cancelMessage() const {
    return QStringLiteral("Connection test cancelled");
}

void ConnectionTestJob::m_oDakRcv_SoftwareVersion(const QString &sVersion) {
    endByAnswer(JobResult{JobResult::Kind::Connected, {}, sVersion},
                QStringLiteral("Connection Successful - ") + sVersion, 102,
                QStringLiteral("m_oDakRcv_SoftwareVersion:"), sVersion);
}

void ConnectionTestJob::m_oDakRcv_COMMError(const QString &sErrMessage) {
    endByAnswer(JobResult{JobResult::Kind::Rejected, {}, sErrMessage},
                QStringLiteral("Communications ERROR: ") + sErrMessage, 101,
                QStringLiteral("m_oDakRcv_COMMError:"), sErrMessage);
}

void ConnectionTestJob::endByAnswer(const JobResult &result, const QString &message,
                                    qint32 failureLogPoint, const QString &handler,
                                    const QString &eventText) {
    try {
        stopWaiting();
        closePort();
    } catch (const std::exception &e) {
        writeLogQuietly(failureLogPoint, handler + Error::sourceOf(e),
                        Error::describe(e) + u':' + eventText);
        finish(JobResult{JobResult::Kind::Failed, {}, Error::describe(e)});
        return;
    }
    finish(result, message);
}

void ConnectionTestJob::writeLogQuietly(qint32 number, const QString &procedure,
                                        const QString &message) noexcept {
    try {
        utility().WriteLog(number, procedure, message, 0);
    } catch (...) {
        // Nowhere left to report it: this runs inside a port notification.
    }
}

QString ConnectionTestJob::CharacterLine(QChar c) {
    const int code = c.unicode() & 0xFF; // one byte per character on the line
    const double value = NumericText::valueOf(QStringView(&c, 1));
    return QStringLiteral("com port input: char->") + c + QStringLiteral(": Asc->") +
           QString::number(code) + QStringLiteral(": Val->") + NumericText::plainDecimal(value) +
           QStringLiteral(": Hex->") + QString::number(code, 16).toUpper() + u':';
}

} // namespace Kavvix
