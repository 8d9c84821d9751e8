#pragma once

#include "serialportio.h"

#include <QSerialPort>

// SerialPortIo on QSerialPort.
class QtSerialPortIo final : public SerialPortIo {
    Q_OBJECT

public:
    explicit QtSerialPortIo(QObject *parent = nullptr);

    QString open(const QString &path, int baudRate) override;
    void close() override;
    bool isOpen() const override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 maxSize) override;
    qint64 bytesToWrite() const override;
    void write(const QByteArray &data) override;

private:
    void onErrorOccurred(QSerialPort::SerialPortError error);
    bool configure(int baudRate);

    QSerialPort m_port;
    bool m_closePending = false;
};
