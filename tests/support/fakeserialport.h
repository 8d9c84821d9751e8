#pragma once

#include "core/link/serialportio.h"

#include <QElapsedTimer>
#include <QList>

#include <functional>

// A serial port in memory that plays a device for fast tests: it echoes what is written (a CR
// as CR LF) and hands every completed command line to `answer`, whose bytes arrive at once.
class FakeSerialPort final : public SerialPortIo {
    Q_OBJECT

public:
    struct Write {
        qint64 atMs;
        QByteArray bytes;
    };

    explicit FakeSerialPort(QObject *parent = nullptr);

    QString open(const QString &path, int baudRate) override;
    void close() override;
    bool isOpen() const override { return m_open; }
    qint64 bytesAvailable() const override { return m_open ? incoming.size() : 0; }
    QByteArray read(qint64 maxSize) override;
    qint64 bytesToWrite() const override { return pendingOutput; }
    void write(const QByteArray &data) override;

    // Makes the port vanish as an unplugged adapter would.
    void pullPlug();

    // Set up by the test
    QString openError;         // returned by open() when not empty
    QStringList existingPaths; // open() fails for other paths when not empty
    QStringList deniedPaths;   // open() is refused for lack of permission
    bool echo = true;
    std::function<QByteArray(const QByteArray &line)> answer;
    qint64 pendingOutput = 0;

    // Seen by the test
    QByteArray incoming;
    QList<Write> writes;
    QList<qint64> readsAtMs; // of every read that took bytes, on the clock of `writes`
    QStringList openedPaths;
    QList<int> openBaudRates; // of every open(), failed ones included
    QList<QByteArray> commands;
    int openCount = 0;

private:
    bool m_open = false;
    QByteArray m_line;
    QElapsedTimer m_clock;
};
