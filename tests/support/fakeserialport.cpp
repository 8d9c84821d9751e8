#include "fakeserialport.h"

FakeSerialPort::FakeSerialPort(QObject *parent)
    : SerialPortIo(parent) {
    m_clock.start();
}

QString FakeSerialPort::open(const QString &path, int baudRate) {
    openBaudRates << baudRate;
    m_openDenied = deniedPaths.contains(path);
    if (m_openDenied)
        return QStringLiteral("Zugriff verweigert");
    if (!openError.isEmpty())
        return openError;
    if (!existingPaths.isEmpty() && !existingPaths.contains(path))
        return QStringLiteral("Das System kann die angegebene Datei nicht finden.");
    m_open = true;
    ++openCount;
    openedPaths << path;
    return {};
}

void FakeSerialPort::close() {
    m_open = false;
}

QByteArray FakeSerialPort::read(qint64 maxSize) {
    const QByteArray chunk = incoming.left(maxSize);
    incoming.remove(0, chunk.size());
    if (!chunk.isEmpty())
        readsAtMs << m_clock.elapsed();
    return chunk;
}

void FakeSerialPort::write(const QByteArray &data) {
    writes.append({m_clock.elapsed(), data});
    for (const char c : data) {
        if (echo)
            incoming += c == '\r' ? QByteArray("\r\n") : QByteArray(1, c);
        if (c != '\r') {
            m_line += c;
            continue;
        }
        // An empty line (the CR that ends whatever an interrupted exchange left) is no command.
        if (!m_line.isEmpty()) {
            commands << m_line;
            if (answer)
                incoming += answer(m_line);
        }
        m_line.clear();
    }
}

void FakeSerialPort::pullPlug() {
    m_open = false;
    emit lost();
}
