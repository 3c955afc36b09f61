#include "ConsoleLink.h"

#include <kavvix/ConsoleJob.h>
#include <kavvix/Error.h>
#include <kavvix/PortTable.h>
#include <kavvix/cDiveResult.h>
#include <kavvix/modKavvix.h>

namespace Kavvix {

ConsoleLink::ConsoleLink(qint16 portNumber, QObject *parent)
    : QObject(parent), m_portNumber(portNumber) {
    m_reopen.setInterval(ReopenIntervalMs);
    connect(&m_reopen, &QTimer::timeout, this, &ConsoleLink::tryReopen);
    connect(&m_port, &comPort::OnComm, this, &ConsoleLink::onComm);
    connect(&m_processor, &cDakProcessor::SoftwareVersion, this, [this](const QString &version) {
        m_version = version.trimmed();
        m_versionCurrent = true;
        m_answering = true;
        emit consoleChanged(m_lineUp, m_version);
    });
    connect(&m_processor, &cDakProcessor::COMMError, this, &ConsoleLink::commError);
    connect(&m_processor, &cDakProcessor::DiveResult, this, [this](cDiveResult *result) {
        DiveRecord record = DiveRecord::fromResult(*result);
        record.rawFrame = m_processor.currentFrame();
        heardConsole();
        emit diveReceived(record);
    });
}

ConsoleLink::~ConsoleLink() {
    close();
}

void ConsoleLink::open() {
    m_closing = false;
    m_port.setCommPort(m_portNumber);
    m_port.setSettings(modKavvix::ConsoleLineSettings);
    m_port.setReceiveInBatches(true);
    m_port.open();
    m_answering = false;
    m_versionCurrent = false;
    setLineUp(true);
    m_port.write(m_processor.SoftwareVersionRequest());
    emit consoleChanged(m_lineUp, m_version);
}

void ConsoleLink::setLineUp(bool up) {
    if (up == m_lineUp)
        return;
    m_lineUp = up;
    m_since = QDateTime::currentDateTimeUtc();
    if (!up) {
        m_answering = false;
        m_versionCurrent = false;
    }
}

void ConsoleLink::heardConsole() {
    if (m_answering)
        return;
    m_answering = true;
    emit consoleChanged(m_lineUp, m_version);
}

void ConsoleLink::close() {
    m_closing = true;
    m_reopen.stop();
    if (m_job)
        m_job->cancel();
    m_port.close();
}

void ConsoleLink::onComm() {
    if (m_job && m_job->isRunning()) {
        m_job->portNotified();
        return;
    }
    const qint16 kind = m_port.CommEvent();
    if (kind == comPort::Received) {
        const QByteArray bytes = m_port.readAll();
        if (!bytes.isEmpty())
            receive(bytes);
    } else if (kind >= comPort::ErrorKind && !m_port.isOpen()) {
        lineLost();
    }
}

void ConsoleLink::receive(const QByteArray &bytes) {
    m_batchArrival.start();
    if (m_tap)
        for (const char byte : bytes)
            m_tap(byte);
    m_processor.AddData(bytes);
}

void ConsoleLink::lineLost() {
    setLineUp(false);
    emit consoleChanged(false, m_version);
    if (!m_closing)
        m_reopen.start();
}

void ConsoleLink::tryReopen() {
    if (m_job || m_port.isOpen()) {
        m_reopen.stop();
        return;
    }
    try {
        open();
        m_reopen.stop();
    } catch (const Error &) {
        // Still gone; the timer tries again.
    }
}

bool ConsoleLink::runJob(ConsoleJob *job) {
    if (m_job) {
        delete job;
        return false;
    }
    m_reopen.stop();
    // Lent to the job, the line stays up: the job reports what happens on it.
    m_port.close();
    m_job = job;
    job->setLine(&m_port);
    job->setCommPort(m_portNumber);
    connect(job, &ConsoleJob::finished, this, &ConsoleLink::jobFinished);
    job->start();
    return true;
}

void ConsoleLink::jobFinished() {
    ConsoleJob *job = m_job;
    m_job = nullptr;
    if (job)
        job->deleteLater();
    // The job closed the port from inside its own handler; reopen once that has returned.
    if (!m_closing)
        QTimer::singleShot(0, this, [this] {
            tryReopen();
            if (!m_port.isOpen() && !m_closing) {
                setLineUp(false);
                emit consoleChanged(false, m_version);
                m_reopen.start();
            }
        });
}

} // namespace Kavvix
