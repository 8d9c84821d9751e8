#pragma once

#include <QProcess>
#include <QString>
#include <QTemporaryDir>

// ser2net, a serial device server, in the foreground with one connection to a serial port (the
// simulator's) on a free loopback TCP port: "rfc2217" (Telnet with the COM-PORT option) or
// "tcp" (raw bytes).
class Ser2NetProcess {
public:
    Ser2NetProcess() = default;
    ~Ser2NetProcess() { stop(); }
    Ser2NetProcess(const Ser2NetProcess &) = delete;
    Ser2NetProcess &operator=(const Ser2NetProcess &) = delete;

    // A loopback TCP port nobody listens on at the moment.
    static quint16 freePort(bool ipv6 = false);

    // Starts and waits (at most 5 s) until the server takes connections, on 127.0.0.1 or
    // (`ipv6`) on ::1.
    bool start(const QString &mode, const QString &serialPath, bool ipv6 = false);
    // The program's address of the port, e.g. "rfc2217://127.0.0.1:40123".
    QString address() const { return m_address; }
    // Ends the server at once, as a server that goes away.
    void stop();

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_address;
};
