#include "core/link/qtserialportio.h"

#include <QFileInfo>
#include <QTimer>

QtSerialPortIo::QtSerialPortIo(QObject *parent)
    : SerialPortIo(parent) {
    // A device that floods the line must not fill the memory: Qt stops reading when full.
    m_port.setReadBufferSize(64 * 1024);
    connect(&m_port, &QSerialPort::errorOccurred, this, &QtSerialPortIo::onErrorOccurred);
}

QString QtSerialPortIo::open(const QString &path, int baudRate) {
    // A port lost a moment ago may still wait for its close.
    close();
    m_openDenied = false;
    m_openBusy = false;
    m_port.setPortName(path);
    if (!m_port.open(QIODevice::ReadWrite)) {
        // Qt reports a port that another program holds (its lock) as a permission error too:
        // a port this user may read and write is busy, not forbidden.
        const QFileInfo file(path);
        const bool permission = m_port.error() == QSerialPort::PermissionError;
        m_openBusy = permission && file.isReadable() && file.isWritable();
        m_openDenied = permission && !m_openBusy;
        const QString reason = m_openBusy ? tr("Die Schnittstelle %1 ist belegt: ein anderes "
                                               "Programm hat sie geöffnet.")
                                                .arg(path)
                                          : m_port.errorString();
        m_port.clearError();
        return reason.isEmpty() ? tr("Die Schnittstelle %1 kann nicht geöffnet werden.").arg(path)
                                : reason;
    }
    if (!configure(baudRate)) {
        const QString reason = m_port.errorString();
        m_port.clearError();
        return reason.isEmpty() ? tr("Die Schnittstelle %1 lässt sich nicht einstellen.").arg(path)
                                : reason;
    }
    // Qt 6.4 keeps whatever the driver buffered before the port was opened.
    m_port.clear();
    return {};
}

bool QtSerialPortIo::configure(int baudRate) {
    return m_port.setBaudRate(baudRate) && m_port.setDataBits(QSerialPort::Data8) &&
           m_port.setParity(QSerialPort::NoParity) && m_port.setStopBits(QSerialPort::OneStop) &&
           m_port.setFlowControl(QSerialPort::NoFlowControl);
}

std::optional<QtSerialPortIo::LineSettings> QtSerialPortIo::lineSettings() const {
    if (!m_port.isOpen())
        return std::nullopt;
    return LineSettings{m_port.baudRate(), m_port.dataBits(), m_port.parity(), m_port.stopBits(),
                        m_port.flowControl()};
}

void QtSerialPortIo::close() {
    m_closePending = false;
    if (m_port.isOpen())
        m_port.close();
}

bool QtSerialPortIo::isOpen() const {
    return m_port.isOpen() && !m_closePending;
}

qint64 QtSerialPortIo::bytesAvailable() const {
    return isOpen() ? m_port.bytesAvailable() : 0;
}

QByteArray QtSerialPortIo::read(qint64 maxSize) {
    return isOpen() ? m_port.read(maxSize) : QByteArray();
}

qint64 QtSerialPortIo::bytesToWrite() const {
    return isOpen() ? m_port.bytesToWrite() : 0;
}

void QtSerialPortIo::write(const QByteArray &data) {
    if (!isOpen())
        return;
    m_port.write(data);
    // Hand the bytes to the driver now, so the character pacing is what the device sees.
    m_port.flush();
}

void QtSerialPortIo::onErrorOccurred(QSerialPort::SerialPortError error) {
    if (error != QSerialPort::ReadError && error != QSerialPort::ResourceError)
        return;
    if (!m_port.isOpen() || m_closePending)
        return;
    // A vanished peer makes Qt 6.4 report ReadError over and over at full load: the port is
    // treated as closed at once and really closed outside QSerialPort's own notification.
    m_closePending = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_closePending)
            return;
        m_closePending = false;
        m_port.close();
        m_port.clearError();
        emit lost();
    });
}
