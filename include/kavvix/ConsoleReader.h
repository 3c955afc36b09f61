#pragma once

#include <kavvix/ConsoleLine.h>
#include <kavvix/cDakProcessor.h>
#include <kavvix/export.h>

#include <QElapsedTimer>
#include <QObject>
#include <QString>

#include <functional>

namespace Kavvix {

// Follows the timing console on one serial line: what the line receives goes, a batch at a
// time, to a receive processor whose events (versions, judged dives, errors, rejected frames)
// the owner handles. It is the line's receiver, so a job (upload, connection test) can take
// the line for its duration and nothing received before or after it is lost.
class KAVVIX_EXPORT ConsoleReader : public QObject, private LineHolder {
    Q_OBJECT

public:
    explicit ConsoleReader(qint16 portNumber, QObject *parent = nullptr);
    ~ConsoleReader() override;

    // Opens the line with the console's settings; throws Kavvix::Error.
    void open();
    void close();
    bool isOpen() const;
    // Sends the software version request; its answer raises SoftwareVersion.
    void requestVersion();

    qint16 portNumber() const { return m_portNumber; }
    ConsoleLine &line() { return m_line; }
    cDakProcessor &processor() { return m_processor; }
    // Called with every batch of bytes the reader receives, before the processor sees it.
    void setByteTap(std::function<void(QByteArrayView)> tap) { m_tap = std::move(tap); }
    // Started when the batch being taken in arrived: inside the processor's events, how long
    // ago their frame came off the line.
    const QElapsedTimer &batchArrival() const { return m_batchArrival; }

signals:
    // The device went away; the port is closed.
    void lost(const QString &why);

private:
    qsizetype lineReceived(QByteArrayView bytes) override;
    void lineLost(const QString &why) override;

    qint16 m_portNumber;
    ConsoleLine m_line;
    cDakProcessor m_processor;
    std::function<void(QByteArrayView)> m_tap;
    QElapsedTimer m_batchArrival;
};

} // namespace Kavvix
