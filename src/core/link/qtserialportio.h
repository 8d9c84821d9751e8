#pragma once

#include "core/link/serialportio.h"

#include <QSerialPort>

#include <optional>

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

    // What the open port holds: the settings given to the driver. Nothing while closed.
    struct LineSettings {
        qint32 baudRate;
        QSerialPort::DataBits dataBits;
        QSerialPort::Parity parity;
        QSerialPort::StopBits stopBits;
        QSerialPort::FlowControl flowControl;
    };
    std::optional<LineSettings> lineSettings() const;

private:
    void onErrorOccurred(QSerialPort::SerialPortError error);
    bool configure(int baudRate);

    QSerialPort m_port;
    bool m_closePending = false;
};
