#include "ConsoleLink.h"

#include <kavvix/ConsoleJob.h>
#include <kavvix/Error.h>
#include <kavvix/cDiveResult.h>

namespace Kavvix {

ConsoleLink::ConsoleLink(qint16 portNumber, QObject *parent)
    : QObject(parent), m_reader(portNumber) {
    m_reopen.setInterval(ReopenIntervalMs);
    connect(&m_reopen, &QTimer::timeout, this, &ConsoleLink::tryReopen);
    connect(&m_reader, &ConsoleReader::lost, this, &ConsoleLink::lineLost);
    cDakProcessor &processor = m_reader.processor();
    connect(&processor, &cDakProcessor::SoftwareVersion, this, [this](const QString &version) {
        m_version = version.trimmed();
        m_versionCurrent = true;
        m_answering = true;
        emit consoleChanged(m_lineUp, m_version);
    });
    connect(&processor, &cDakProcessor::COMMError, this, &ConsoleLink::commError);
    connect(&processor, &cDakProcessor::DiveResult, this, [this](cDiveResult *result) {
        DiveRecord record = DiveRecord::fromResult(*result);
        record.rawFrame = m_reader.processor().currentFrame();
        // The service keeps its own copy: the processor need not keep the record for a host,
        // which over a long meet would hold thousands of them.
        result->deleteLater();
        heardConsole();
        emit diveReceived(record);
    });
    connect(&processor, &cDakProcessor::FrameRejected, this,
            [this](const QString &check, const QString &frame) {
                ++m_rejectedFrames;
                emit frameRejected(check, frame);
            });
}

ConsoleLink::~ConsoleLink() {
    close();
}

void ConsoleLink::open() {
    m_closing = false;
    m_reader.open();
    m_answering = false;
    m_versionCurrent = false;
    setLineUp(true);
    m_reader.requestVersion();
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
    m_reader.close();
}

void ConsoleLink::setByteTap(std::function<void(char)> tap) {
    if (!tap) {
        m_reader.setByteTap({});
        return;
    }
    m_reader.setByteTap([tap = std::move(tap)](QByteArrayView bytes) {
        for (const char byte : bytes)
            tap(byte);
    });
}

void ConsoleLink::lineLost() {
    setLineUp(false);
    emit consoleChanged(false, m_version);
    if (!m_closing && !m_job)
        m_reopen.start();
}

void ConsoleLink::tryReopen() {
    if (m_job || m_reader.isOpen()) {
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
    // Taken by the job, the line stays up: the job reports what happens on it.
    m_job = job;
    job->setLine(&m_reader.line());
    job->setCommPort(m_reader.portNumber());
    connect(job, &ConsoleJob::finished, this, &ConsoleLink::jobFinished);
    job->start();
    return true;
}

void ConsoleLink::jobFinished() {
    ConsoleJob *job = m_job;
    m_job = nullptr;
    if (job)
        job->deleteLater();
    if (m_closing)
        return;
    // The job gave the line back from inside its own handler; carry on once that has returned.
    QTimer::singleShot(0, this, [this] {
        if (m_closing || m_job)
            return;
        if (m_reader.isOpen()) {
            try {
                setLineUp(true); // a job may have opened it
                m_reader.requestVersion();
                emit consoleChanged(m_lineUp, m_version);
                return;
            } catch (const Error &) {
                m_reader.close(); // the device failed the write: reopen it as after a loss
            }
        }
        tryReopen();
        if (!m_reader.isOpen() && !m_closing) {
            setLineUp(false);
            emit consoleChanged(false, m_version);
            m_reopen.start();
        }
    });
}

} // namespace Kavvix
