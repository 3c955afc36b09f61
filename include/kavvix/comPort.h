#pragma once

#include <kavvix/PortTable.h>
#include <kavvix/export.h>

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

#include <optional>

namespace Kavvix {

// The serial port to the timing console: a port number, a settings text such as "9600,e,8,1",
// open, close and write a text. What the device delivers leaves the port one way only: the
// received() signal carries each batch, in order, through the owner's event loop (so a handler
// never runs nested in another). Whoever has the line takes it from there (ConsoleLine).
// Failures throw Kavvix::Error carrying the platform's description.
//
// OnComm reports the rest: the output drained after a write (SendEvent), changes of the
// clear-to-send, data-set-ready and carrier-detect lines and ring (polled while open; devices
// without modem lines, such as pseudo-terminals, raise none), the end-of-file character (after
// the batch that carried it), and errors (ErrorKind + the platform's
// error number). A device that goes away or fails to read or write (cable pulled, other end
// hung up) is closed at once and reported as LineLost.
class KAVVIX_EXPORT comPort : public QObject {
    Q_OBJECT

public:
    enum Kind : qint16 {
        SendEvent = 1,
        Received = 2, // characters received: the kind of the dialog's per-character routing
        ClearToSendChanged = 3,
        DataSetReadyChanged = 4,
        CarrierDetectChanged = 5,
        Ring = 6,
        EndOfFile = 7,
        ErrorKind = 1000,
        LineLost = ErrorKind + QSerialPort::ResourceError,
    };
    static constexpr char EndOfFileChar = 0x1A;
    static constexpr int ModemLinePollMs = 50;

    // Error codes: an unknown port number or malformed settings are invalid arguments (5);
    // the device's own failures are PortErrorBase + QSerialPort::SerialPortError.
    static constexpr qint32 PortErrorBase = 8000;

    explicit comPort(QObject *parent = nullptr);
    ~comPort() override;

    qint16 CommPort() const { return m_port; }
    // Selects the device of port number n (see PortDevice); throws when n names none.
    void setCommPort(qint16 n);

    QString Settings() const { return m_settings; }
    // Takes "baud,parity,data bits,stop bits", parity one of n e o m s; throws when malformed.
    void setSettings(const QString &settings);

    bool isOpen() const { return m_serial.isOpen(); }
    // Opens the selected device with the settings; throws when it is absent or in use. Input
    // that was waiting in the device before the open is discarded: it answers nothing we sent.
    void open();
    // Waits (bounded) until every byte written has left, then closes. Does nothing if closed.
    void close();

    // Sends every character as one Latin-1 byte, in order, nothing added. A device that fails
    // the write is closed and the failure thrown (no LineLost notification for it).
    void write(const QString &text);
    // Everything received and not delivered through received() yet, the device's input
    // included, taken now (received() will not carry it): a new holder of the line starts
    // after these bytes.
    QByteArray takeReceived();

    // The kind of the notification being delivered.
    qint16 CommEvent() const { return m_event; }
    // The platform's description of the last error notification.
    QString errorText() const { return m_errorText; }

    // Parsed form of a settings text.
    struct LineSettings {
        qint32 baud = 9600;
        QSerialPort::Parity parity = QSerialPort::EvenParity;
        QSerialPort::DataBits dataBits = QSerialPort::Data8;
        QSerialPort::StopBits stopBits = QSerialPort::OneStop;
        bool operator==(const LineSettings &) const = default;
    };
    static LineSettings parseSettings(const QString &settings);

signals:
    // Bytes received, each one character of the line (Latin-1), oldest first; then one
    // EndOfFile notification for each end-of-file character among them.
    void received(const QByteArray &bytes);
    void OnComm();

private:
    void onReadyRead();
    void onBytesWritten();
    void onError(QSerialPort::SerialPortError error);
    void pollModemLines();
    void notify(qint16 kind);
    void deliverReceived();
    [[noreturn]] void failOpen(const QString &device);
    [[noreturn]] void fail(const QString &device);

    QSerialPort m_serial;
    QTimer m_modemPoll;
    int m_modemLines = -1; // last modem line bits read, -1 before the first read
    qint16 m_port = 1;
    QString m_settings = modKavvix::ConsoleLineSettings;
    QByteArray m_input; // read from the device, waiting for the queued delivery
    bool m_deliveryQueued = false;
    bool m_writing = false;
    std::optional<QSerialPort::SerialPortError> m_writeFailure;
    bool m_opening = false;
    qint16 m_event = 0;
    QString m_errorText;
};

} // namespace Kavvix
