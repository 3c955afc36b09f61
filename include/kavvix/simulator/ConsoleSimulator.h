#pragma once

#include <kavvix/export.h>

#include <QByteArray>
#include <QElapsedTimer>
#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <memory>

class QSocketNotifier;
class QTextStream;

namespace Kavvix {

class FrameCutter;
class cDiveResult;

// Plays the timing console's side of the serial link over a pseudo-terminal pair. The slave
// end is a serial device for comPort (map a port number to slavePath() with KAVVIX_COM<n>);
// the simulator reads and writes the master end from the event loop of its thread.
//
// Every frame received is checked, recorded and answered: a version request ("200") with a
// "100" version reply, an upload frame ("301"-"304") with a "900" acknowledgement "00"; a
// frame that fails the checks with "900" "02". The answer to the k-th frame (counting every
// frame received, from 1) can be planned otherwise.
//
// What it writes waits in a queue while the other side does not read; beyond MaxQueued bytes
// waiting, further output is dropped (outputDropped), so the simulator never blocks.
class KAVVIX_EXPORT ConsoleSimulator : public QObject {
    Q_OBJECT

public:
    enum class Answer {
        Normal,      // the version reply, or "00" for an upload frame
        Reject,      // "900" with the planned response code
        AckThen07,   // for an upload frame "900" "00", then "900" "07"; else as Normal
        Silent,      // nothing
        BadChecksum, // the normal answer with a wrong checksum
        Garbage,     // line noise holding a SYN..ETB run that fails the frame checks
        HangUp,      // closes the line instead of answering
    };

    // Output waiting for the other side to read, at most.
    static constexpr qsizetype MaxQueued = 64 * 1024;

    // Opens the pseudo-terminal pair; throws Kavvix::Error when the system refuses.
    explicit ConsoleSimulator(QObject *parent = nullptr);
    ~ConsoleSimulator() override;

    QString slavePath() const { return m_slavePath; }

    // The version text of the "100" reply (blank-padded or cut to 40 characters).
    void setVersion(const QString &version) { m_version = version; }
    // How to answer frame k (1-based, every frame received counts).
    void planAnswer(int k, Answer answer, const QString &responseCode = {});
    void rejectFrame(int k, const QString &responseCode) {
        planAnswer(k, Answer::Reject, responseCode);
    }
    // How to answer the frames without a plan of their own.
    void setDefaultAnswer(Answer answer, const QString &responseCode = {});

    // Paces what the console writes at the given line rate, 11 bits per character (start,
    // 8 data, parity, stop); 0 writes at once.
    void setLineRate(qint32 baud);

    // Sends the "305" frame of a judged dive.
    void sendDiveResult(const cDiveResult &dive);
    static QString diveResultFrame(const cDiveResult &dive);
    // The command code of a frame, and the response code of a "900" frame.
    static QString commandOf(const QString &frame);
    static QString responseCodeOf(const QString &frame);
    // Sends bytes as they stand; drops them all when they would not fit in the queue.
    void sendRaw(const QByteArray &bytes);
    // Takes bytes as if they had arrived on the line: recorded, cut into frames, answered.
    void receive(const QByteArray &bytes);
    // Closes the line: the slave device goes away and nothing more is read or written.
    void hangUp();
    bool isHungUp() const { return m_master < 0; }

    // Bytes dropped so far because nobody read the line.
    qint64 droppedBytes() const { return m_droppedBytes; }
    // Output queued for the line and not written yet.
    qsizetype queuedBytes() const { return m_outgoing.size() + m_unwritten.size(); }

    // Every byte received, every frame cut from them, the upload frames among them.
    QByteArray received() const { return m_received; }
    QStringList frames() const { return m_frames; }
    QStringList uploadFrames() const;
    // The diver rows the upload frames carried, in diving order, "" where none arrived.
    QStringList diverRows() const;
    // Writes one line per diver row received: the diving order, a blank, the row.
    void printDiverRows(QTextStream &out) const;

    // Microseconds from the last byte of an answer written to the first byte that arrived
    // after it, one sample per answer that was followed by more input.
    QList<qint64> turnaroundsUs() const { return m_turnaroundsUs; }
    // Drops the samples and the pending answer, so the next input starts no sample.
    void clearTurnarounds() {
        m_turnaroundsUs.clear();
        m_answerDoneNs = -1;
    }

signals:
    void frameReceived(const QString &frame, bool valid);
    // Something was written in answer to the frame (not sent for a silent or hung-up line).
    void answered(const QString &frame);
    // Output was dropped because the queue for the line was full.
    void outputDropped(qsizetype bytes);

private:
    struct Plan {
        Answer answer = Answer::Normal;
        QString code;
    };
    void readMaster();
    void onFrame(const QString &frame);
    void answer(const QString &frame, bool valid, const Plan &plan);
    void send(const QString &text);
    void flushLine();
    void pace();
    void closeLine();

    int m_master = -1;
    int m_slaveKeeper = -1; // keeps the line up while no port has the slave open
    QString m_slavePath;
    QSocketNotifier *m_notifier = nullptr;
    QSocketNotifier *m_writeNotifier = nullptr; // on while the line has not taken everything
    std::unique_ptr<FrameCutter> m_cutter;

    QString m_version = QStringLiteral("OmniSport 2000 Ver 3.12");
    QHash<int, Plan> m_plans;
    Plan m_default;
    int m_frameCount = 0;

    QByteArray m_received;
    QStringList m_frames;

    qint32 m_lineRate = 0;
    QByteArray m_outgoing;  // waiting for its time at the line rate
    QByteArray m_unwritten; // due, not yet taken by the pseudo-terminal
    qint64 m_droppedBytes = 0;
    qint64 m_paceSent = 0;
    QElapsedTimer m_paceClock;
    QTimer m_paceTimer;

    QElapsedTimer m_clock;
    qint64 m_answerDoneNs = -1; // when the last answer's last byte was written, -1 when none
    QList<qint64> m_turnaroundsUs;
};

} // namespace Kavvix
