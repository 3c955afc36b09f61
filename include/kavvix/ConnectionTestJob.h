#pragma once

#include <kavvix/ConsoleJob.h>

#include <memory>

namespace Kavvix {

class cDakProcessor;

// Tests the serial connection: opens the port, sends the software version request and waits
// about six seconds for the console's reply. Ends with Connected (the version text in
// result().detail), Rejected (the console answered with an error), NoAnswer, PortUnavailable
// (the port cannot be selected or opened), LineLost, Failed or Aborted. With the diagnostic
// log on, every character received is written to it.
class KAVVIX_EXPORT ConnectionTestJob : public ConsoleJob {
    Q_OBJECT

public:
    // The 6th tick ends the wait.
    static constexpr qint16 TimeoutTicks = 5;

    explicit ConnectionTestJob(QObject *parent = nullptr);
    ~ConnectionTestJob() override;

    // The diagnostic log line of a received character.
    static QString CharacterLine(QChar c);

signals:
    // The wait's tick count went up (1 to 5).
    void waitTicked(int ticks);

protected:
    void run() override;
    void receiveChar(const QString &c) override;
    qint16 timeoutTicks() const override { return TimeoutTicks; }
    void waitTimedOut() override;
    void waitCounted(qint16 ticks) override;
    QString cancelMessage() const override;

private:
    void m_oDakRcv_SoftwareVersion(const QString &sVersion);
    void m_oDakRcv_COMMError(const QString &sErrMessage);
    // Ends the test by the console's answer; a failure on the way is written as log point
    // failureLogPoint (whatever the log switch says) and shown to no one.
    void endByAnswer(const JobResult &result, const QString &message, qint32 failureLogPoint,
                     const QString &handler, const QString &eventText);
    void writeLogQuietly(qint32 number, const QString &procedure, const QString &message) noexcept;

    std::unique_ptr<cDakProcessor> m_receiver;
};

} // namespace Kavvix
