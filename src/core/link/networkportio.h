#pragma once

#include "core/link/serialportio.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QSet>
#include <QTcpSocket>

// SerialPortIo on a serial device server in the plant network. "rfc2217://HOST:PORT" speaks
// Telnet with the COM-PORT option: the server's port is set to the baud rate given, 8 data bits,
// no parity, 1 stop bit and no flow control, and Telnet's 0xFF is escaped both ways.
// "tcp://HOST:PORT" carries the bytes as they are; the server's port is set up on the server.
// Every character is sent at once (Nagle off), so the pacing is what the device sees.
class NetworkPortIo final : public SerialPortIo {
    Q_OBJECT

public:
    // Connecting and setting up the server's port take at most this long.
    static constexpr int OpenTimeoutMs = 2500;
    // A raw TCP connection is kept this long before it counts as taken: a server whose port
    // serves another connection closes it at once.
    static constexpr int BusyCheckMs = 100;

    static bool isNetworkPath(const QString &path);

    explicit NetworkPortIo(QObject *parent = nullptr);

    QString open(const QString &path, int baudRate) override;
    void close() override;
    bool isOpen() const override;
    qint64 bytesAvailable() const override;
    QByteArray read(qint64 maxSize) override;
    qint64 bytesToWrite() const override;
    void write(const QByteArray &data) override;

private:
    enum class Rx { Data, Iac, Option, Sub, SubIac };

    void onReadyRead();
    void onGone();
    void decode(const QByteArray &incoming);
    void onOption(quint8 verb, quint8 option);
    void onSubnegotiation(const QByteArray &sub);
    void sendCommand(quint8 verb, quint8 option);
    void sendComPort(quint8 command, const QByteArray &value);
    void sendLineSettings();
    // Waits until `done` or the deadline; false on the deadline, a lost connection or the end.
    template <typename Done> bool waitFor(Done done, const QDeadlineTimer &deadline);

    QTcpSocket m_socket;
    bool m_telnet = false;
    bool m_open = false;
    bool m_closePending = false;
    int m_baudRate = 0;
    QByteArray m_received; // data bytes, Telnet removed
    Rx m_rx = Rx::Data;
    quint8 m_verb = 0;
    QByteArray m_sub;
    QSet<quint8> m_willSent, m_doSent;
    bool m_comPortAccepted = false;
    bool m_comPortRefused = false;
    QHash<quint8, QByteArray> m_comPortAnswers; // server's answer per COM-PORT command
};
