#pragma once

#include <kavvix/PortTable.h>
#include <kavvix/export.h>

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>
#include <QTimer>

namespace Kavvix {

// The upload dialog's serial port: a port number, a settings text such as "9600,e,8,1", open,
// close, write a text and read one character at a time, with one OnComm notification per
// received character, delivered through the owner's event loop. Failures throw Kavvix::Error
// carrying the platform's description. An owner that takes what arrived in bulk (readAll) may
// ask for one notification per batch the device delivered instead (setReceiveInBatches).
//
// Besides characters received, OnComm reports: the output drained after a write (SendEvent),
// changes of the clear-to-send, data-set-ready and carrier-detect lines and ring (polled while
// open; devices without modem lines, such as pseudo-terminals, raise none), the end-of-file
// character (after its own Received notification), and errors (ErrorKind + the platform's
// error number). A device that goes away or fails to read or write (cable pulled, other end
// hung up) is closed at once and reported as LineLost.
class KAVVIX_EXPORT comPort : public QObject {
    Q_OBJECT

public:
    enum Kind : qint16 {
        SendEvent = 1,
        Received = 2,
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

    // Sends every character as one Latin-1 byte, in order, nothing added.
    void write(const QString &text);
    // The next received character, removed from the input; empty when there is none.
    QString readChar();
    // Every character received and not read yet, removed from the input.
    QByteArray readAll();
    // Characters received and not read yet.
    qsizetype InBufferCount() const { return m_input.size(); }

    // On: one Received notification for each batch read from the device, however many
    // characters it holds (then one EndOfFile per end-of-file character in it). Off (at
    // construction, and what the dialog's routing needs): one per character.
    void setReceiveInBatches(bool on) { m_receiveInBatches = on; }
    bool receiveInBatches() const { return m_receiveInBatches; }

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
    void OnComm();

private:
    void onReadyRead();
    void onBytesWritten();
    void onError(QSerialPort::SerialPortError error);
    void pollModemLines();
    void notify(qint16 kind);
    void deliverReceived(QByteArrayView bytes);
    [[noreturn]] void failOpen(const QString &device);
    [[noreturn]] void fail(const QString &device);

    QSerialPort m_serial;
    QTimer m_modemPoll;
    int m_modemLines = -1; // last modem line bits read, -1 before the first read
    qint16 m_port = 1;
    QString m_settings = modKavvix::ConsoleLineSettings;
    QByteArray m_input;
    bool m_receiveInBatches = false;
    bool m_opening = false;
    qint16 m_event = 0;
    QString m_errorText;
};

} // namespace Kavvix
