#include <kavvix/ConsoleReader.h>

#include <kavvix/PortTable.h>
#include <kavvix/comPort.h>
#include <kavvix/modKavvix.h>

namespace Kavvix {

ConsoleReader::ConsoleReader(qint16 portNumber, QObject *parent)
    : QObject(parent), m_portNumber(portNumber) {
    m_line.setReceiver(this);
}

ConsoleReader::~ConsoleReader() {
    m_line.setReceiver(nullptr);
}

void ConsoleReader::open() {
    comPort &port = m_line.port();
    port.setCommPort(m_portNumber);
    port.setSettings(modKavvix::ConsoleLineSettings);
    port.open();
}

void ConsoleReader::close() {
    m_line.port().close();
}

bool ConsoleReader::isOpen() const {
    return m_line.port().isOpen();
}

void ConsoleReader::requestVersion() {
    m_line.port().write(m_processor.SoftwareVersionRequest());
}

qsizetype ConsoleReader::lineReceived(QByteArrayView bytes) {
    m_batchArrival.start();
    if (m_tap)
        m_tap(bytes);
    m_processor.AddData(bytes.toByteArray());
    return bytes.size();
}

void ConsoleReader::lineLost(const QString &why) {
    emit lost(why);
}

} // namespace Kavvix
