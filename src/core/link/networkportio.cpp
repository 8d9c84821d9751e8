#include "core/link/networkportio.h"

#include "core/link/portaddress.h"
#include "core/link/ucom.h"

#include <QDeadlineTimer>
#include <QTimer>
#include <QUrl>

namespace {

// Telnet (RFC 854) and its COM-PORT option (RFC 2217).
constexpr quint8 Se = 240, Sb = 250, Will = 251, Wont = 252, Do = 253, Dont = 254, Iac = 255;
constexpr quint8 OptBinary = 0, OptSuppressGoAhead = 3, OptComPort = 44;
constexpr quint8 SetBaudRate = 1, SetDataSize = 2, SetParity = 3, SetStopSize = 4, SetControl = 5;
constexpr quint8 ServerOffset = 100;
constexpr quint8 ParityNone = 1, StopBits1 = 1, NoFlowControl = 1, DtrOn = 8, RtsOn = 11;
// What the program asks of the server's port, in this order, and waits to be acknowledged.
constexpr quint8 LineCommands[] = {SetBaudRate, SetDataSize, SetParity, SetStopSize, SetControl};

bool wanted(quint8 option) {
    return option == OptBinary || option == OptSuppressGoAhead || option == OptComPort;
}

QByteArray bytes(std::initializer_list<quint8> list) {
    QByteArray out;
    for (const quint8 b : list)
        out += char(b);
    return out;
}

QByteArray baudValue(int baudRate) {
    const quint32 b = quint32(baudRate);
    return bytes({quint8(b >> 24), quint8(b >> 16), quint8(b >> 8), quint8(b)});
}

} // namespace

bool NetworkPortIo::isNetworkPath(const QString &path) {
    // Any "scheme://": one that is not served is named as an impossible address here.
    return path.contains(QLatin1String("://"));
}

NetworkPortIo::NetworkPortIo(QObject *parent)
    : SerialPortIo(parent) {
    m_socket.setReadBufferSize(64 * 1024);
    connect(&m_socket, &QTcpSocket::readyRead, this, &NetworkPortIo::onReadyRead);
    connect(&m_socket, &QTcpSocket::disconnected, this, &NetworkPortIo::onGone);
    connect(&m_socket, &QTcpSocket::errorOccurred, this, &NetworkPortIo::onGone);
}

template <typename Done> bool NetworkPortIo::waitFor(Done done, const QDeadlineTimer &deadline) {
    while (!done()) {
        if (deadline.hasExpired() || WaitsAborted() ||
            (m_socket.state() == QAbstractSocket::UnconnectedState))
            return false;
        WaitSeconds(0.005);
    }
    return true;
}

QString NetworkPortIo::open(const QString &path, int baudRate) {
    close();
    m_openDenied = false;
    m_openBusy = false;
    const PortAddress address = PortAddress::parse(path);
    if (!address.isNetwork())
        return address.isValid() ? tr("%1: ungültige Adresse (rfc2217://HOST:PORT oder "
                                      "tcp://HOST:PORT)")
                                       .arg(path)
                                 : address.problem();
    m_telnet = address.kind == PortAddress::Kind::Rfc2217;
    m_baudRate = baudRate;
    m_received.clear();
    m_rx = Rx::Data;
    m_willSent.clear();
    m_doSent.clear();
    m_comPortAccepted = m_comPortRefused = false;
    m_comPortAnswers.clear();

    const QDeadlineTimer deadline(OpenTimeoutMs);
    m_socket.connectToHost(address.host, address.port);
    // Every failure named with the address.
    const auto unreachable = [&] {
        QString reason;
        if (m_socket.state() != QAbstractSocket::UnconnectedState) {
            reason = tr("keine Antwort vom Server in 2,5 s");
        } else {
            switch (m_socket.error()) {
            case QAbstractSocket::ConnectionRefusedError:
                reason = tr("Verbindung abgelehnt");
                break;
            case QAbstractSocket::HostNotFoundError:
                reason = tr("Server unbekannt");
                break;
            case QAbstractSocket::RemoteHostClosedError:
                // Taken and closed again at once: the server's port serves another connection.
                m_openBusy = true;
                reason = tr("Port des Servers belegt");
                break;
            case QAbstractSocket::SocketTimeoutError:
                reason = tr("keine Antwort vom Server in 2,5 s");
                break;
            default:
                reason = m_socket.errorString();
                break;
            }
        }
        close();
        return tr("%1: %2").arg(path, reason);
    };
    if (!waitFor([this] { return m_socket.state() == QAbstractSocket::ConnectedState; }, deadline))
        return unreachable();
    m_socket.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    if (!m_telnet) {
        // A server whose port serves another connection closes this one at once.
        const QDeadlineTimer settle(BusyCheckMs);
        waitFor([] { return false; }, settle);
        if (m_socket.state() != QAbstractSocket::ConnectedState)
            return unreachable();
        m_open = true;
        return {};
    }

    sendCommand(Will, OptComPort);
    sendCommand(Will, OptBinary);
    sendCommand(Do, OptBinary);
    sendCommand(Will, OptSuppressGoAhead);
    sendCommand(Do, OptSuppressGoAhead);
    const bool answered = waitFor(
        [this] {
            if (m_comPortRefused)
                return true;
            for (const quint8 command : LineCommands)
                if (!m_comPortAnswers.contains(command))
                    return false;
            return true;
        },
        deadline);
    if (m_comPortRefused) {
        close();
        return tr("Der Server %1 stellt seine Schnittstelle nicht über das Netz ein (RFC 2217); "
                  "tcp:// nimmt sie, wie sie am Server eingestellt ist.")
            .arg(path);
    }
    if (!answered)
        return unreachable();
    const QHash<quint8, QByteArray> asked{{SetBaudRate, baudValue(baudRate)},
                                          {SetDataSize, QByteArray(1, char(8))},
                                          {SetParity, QByteArray(1, char(ParityNone))},
                                          {SetStopSize, QByteArray(1, char(StopBits1))},
                                          {SetControl, QByteArray(1, char(NoFlowControl))}};
    for (const quint8 command : LineCommands) {
        if (m_comPortAnswers.value(command) != asked.value(command)) {
            close();
            return tr("Die Schnittstelle %1 lässt sich nicht einstellen.").arg(path);
        }
    }
    // As a local port does on opening, DTR and RTS go on; some servers never acknowledge these,
    // so nothing waits for it.
    sendComPort(SetControl, QByteArray(1, char(DtrOn)));
    sendComPort(SetControl, QByteArray(1, char(RtsOn)));
    m_open = true;
    return {};
}

void NetworkPortIo::sendCommand(quint8 verb, quint8 option) {
    (verb == Will || verb == Wont ? m_willSent : m_doSent).insert(option);
    if (verb == Wont)
        m_willSent.remove(option);
    if (verb == Dont)
        m_doSent.remove(option);
    m_socket.write(bytes({Iac, verb, option}));
}

void NetworkPortIo::sendComPort(quint8 command, const QByteArray &value) {
    QByteArray out = bytes({Iac, Sb, OptComPort, command});
    for (const char c : value) {
        out += c;
        if (quint8(c) == Iac)
            out += c;
    }
    out += bytes({Iac, Se});
    m_socket.write(out);
}

void NetworkPortIo::sendLineSettings() {
    sendComPort(SetBaudRate, baudValue(m_baudRate));
    sendComPort(SetDataSize, QByteArray(1, char(8)));
    sendComPort(SetParity, QByteArray(1, char(ParityNone)));
    sendComPort(SetStopSize, QByteArray(1, char(StopBits1)));
    sendComPort(SetControl, QByteArray(1, char(NoFlowControl)));
}

void NetworkPortIo::onOption(quint8 verb, quint8 option) {
    // Each side's wish is answered once; an answer that agrees with what was said is not
    // answered again, so no negotiation loops.
    switch (verb) {
    case Do:
        if (wanted(option)) {
            if (!m_willSent.contains(option))
                sendCommand(Will, option);
            if (option == OptComPort && !m_comPortAccepted) {
                m_comPortAccepted = true;
                sendLineSettings();
            }
        } else {
            sendCommand(Wont, option);
        }
        break;
    case Dont:
        if (option == OptComPort)
            m_comPortRefused = true;
        if (m_willSent.contains(option))
            sendCommand(Wont, option);
        break;
    case Will:
        if (option == OptBinary || option == OptSuppressGoAhead) {
            if (!m_doSent.contains(option))
                sendCommand(Do, option);
        } else {
            // The server's echo or anything else is not wanted.
            sendCommand(Dont, option);
        }
        break;
    case Wont:
        if (m_doSent.contains(option))
            sendCommand(Dont, option);
        break;
    }
}

void NetworkPortIo::onSubnegotiation(const QByteArray &sub) {
    if (sub.size() < 2 || quint8(sub.at(0)) != OptComPort)
        return;
    const quint8 command = quint8(sub.at(1));
    // Answers to the line settings; modem-state and line-state notices are not needed.
    if (command > ServerOffset)
        m_comPortAnswers.insert(quint8(command - ServerOffset), sub.mid(2));
}

void NetworkPortIo::decode(const QByteArray &incoming) {
    if (!m_telnet) {
        m_received += incoming;
        return;
    }
    for (const char c : incoming) {
        const quint8 b = quint8(c);
        switch (m_rx) {
        case Rx::Data:
            if (b == Iac)
                m_rx = Rx::Iac;
            else
                m_received += c;
            break;
        case Rx::Iac:
            if (b == Iac) {
                m_received += c;
                m_rx = Rx::Data;
            } else if (b >= Will && b <= Dont) {
                m_verb = b;
                m_rx = Rx::Option;
            } else if (b == Sb) {
                m_sub.clear();
                m_rx = Rx::Sub;
            } else {
                m_rx = Rx::Data; // no operation, go ahead and the like
            }
            break;
        case Rx::Option:
            onOption(m_verb, b);
            m_rx = Rx::Data;
            break;
        case Rx::Sub:
            if (b == Iac)
                m_rx = Rx::SubIac;
            else if (m_sub.size() < 256)
                m_sub += c;
            break;
        case Rx::SubIac:
            if (b == Iac) {
                m_sub += c;
                m_rx = Rx::Sub;
            } else {
                if (b == Se)
                    onSubnegotiation(m_sub);
                m_rx = Rx::Data;
            }
            break;
        }
    }
}

void NetworkPortIo::onReadyRead() {
    // The program's reader takes what it needs; the socket's buffer bounds what waits here.
    if (m_received.size() >= 64 * 1024)
        return;
    decode(m_socket.read(64 * 1024 - m_received.size()));
}

void NetworkPortIo::onGone() {
    if (!m_open || m_closePending)
        return;
    if (m_socket.state() == QAbstractSocket::ConnectedState &&
        m_socket.error() != QAbstractSocket::RemoteHostClosedError)
        return;
    // Closed outside the socket's own notification, as an unplugged adapter.
    m_closePending = true;
    QTimer::singleShot(0, this, [this] {
        if (!m_closePending)
            return;
        close();
        emit lost();
    });
}

void NetworkPortIo::close() {
    m_closePending = false;
    m_open = false;
    m_socket.abort();
    m_received.clear();
}

bool NetworkPortIo::isOpen() const {
    return m_open && !m_closePending;
}

qint64 NetworkPortIo::bytesAvailable() const {
    return isOpen() ? m_received.size() : 0;
}

QByteArray NetworkPortIo::read(qint64 maxSize) {
    if (!isOpen())
        return {};
    const QByteArray out = m_received.left(maxSize);
    m_received.remove(0, out.size());
    if (m_socket.bytesAvailable() > 0)
        onReadyRead();
    return out;
}

qint64 NetworkPortIo::bytesToWrite() const {
    return isOpen() ? m_socket.bytesToWrite() : 0;
}

void NetworkPortIo::write(const QByteArray &data) {
    if (!isOpen())
        return;
    QByteArray out = data;
    if (m_telnet)
        out.replace(QByteArray(1, char(Iac)), QByteArray(2, char(Iac)));
    m_socket.write(out);
    m_socket.flush();
}
