#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

// What the link needs of a serial port. The program uses QtSerialPortIo; tests use a fake.
class SerialPortIo : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;

    // Opens the port at the given system path and configures it for 8 data bits, no parity,
    // 1 stop bit and no flow control. Returns an empty text on success, otherwise a German or
    // system error text; when only the configuration failed the port stays open.
    virtual QString open(const QString &path, int baudRate) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    virtual qint64 bytesAvailable() const = 0;
    virtual QByteArray read(qint64 maxSize) = 0;
    // Bytes handed to the port that have not left it yet (the output queue).
    virtual qint64 bytesToWrite() const = 0;
    virtual void write(const QByteArray &data) = 0;

    // Whether the last failed open was refused for lack of permission, or because another
    // program holds the port.
    bool openDenied() const { return m_openDenied; }
    bool openBusy() const { return m_openBusy; }

signals:
    // The port reported that the device is gone (adapter removed, peer closed); it is closed now.
    void lost();

protected:
    bool m_openDenied = false;
    bool m_openBusy = false;
};
