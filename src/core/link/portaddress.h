#pragma once

#include <QString>

// One port as a technician names it, wherever a port is accepted (--port, VTK290_PORTS, the
// setting): a COM name ("COM3"), a system path ("/dev/ttyUSB0"), "rfc2217://HOST:PORT" or
// "tcp://HOST:PORT" (an IPv6 host in brackets: "tcp://[::1]:4001"). Read once here; whoever
// takes a port asks `problem()` before using it.
struct PortAddress {
    enum class Kind { Invalid, Com, Path, Rfc2217, Tcp };

    Kind kind = Kind::Invalid;
    QString text;      // as given, trimmed
    int comNumber = 0; // Com: 1 … 8
    QString host;      // Rfc2217, Tcp: without brackets
    quint16 port = 0;

    static PortAddress parse(const QString &text);

    bool isNetwork() const { return kind == Kind::Rfc2217 || kind == Kind::Tcp; }
    bool isValid() const { return kind != Kind::Invalid; }
    // Why the port cannot be used as written, in German with the port; empty when it can.
    QString problem() const;
};
