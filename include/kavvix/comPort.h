#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

namespace Kavvix {

// The upload dialog's serial port: a port number, a settings text such as "9600,e,8,1", open,
// close, write a text and read one character at a time, with one OnComm notification per
// received character, delivered through the owner's event loop. Failures throw Kavvix::Error
// carrying the platform's description.
class comPort : public QObject {
    Q_OBJECT

public:
    // Notification kinds; only characters received is ever raised here (no modem lines on the
    // devices we use), error notifications carry the kind ErrorKind.
    enum Kind : qint16 { Received = 2, ErrorKind = 1000 };

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
    // Opens the selected device with the settings; throws when it is absent or in use.
    void open();
    // Waits (bounded) until every byte written has left, then closes. Does nothing if closed.
    void close();

    // Sends every character as one Latin-1 byte, in order, nothing added.
    void write(const QString &text);
    // The next received character, removed from the input; empty when there is none.
    QString readChar();
    // Characters received and not read yet.
    qsizetype InBufferCount() const { return m_input.size(); }

    // The kind of the notification being delivered.
    qint16 CommEvent() const { return m_event; }

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
    void onError(QSerialPort::SerialPortError error);
    void notify(qint16 kind);
    [[noreturn]] void fail(const QString &what);

    QSerialPort m_serial;
    qint16 m_port = 1;
    QString m_settings = QStringLiteral("9600,e,8,1");
    QByteArray m_input;
    qint16 m_event = 0;
};

} // namespace Kavvix
