#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

class DeviceProtocol;

// Finds the device: COM1 … COM8 are opened in turn at 19200 baud and asked for their name; the
// first port whose answer contains "KT290" stays open as the connection.
class ConnectionScan final {
public:
    static constexpr int FirstPort = 1;
    static constexpr int LastPort = 8;
    static constexpr int BaudRate = 19200;

    struct Result {
        bool found = false;
        int port = 0;
        bool somePortOpened = false;
        // The first port that exists but may not be opened by this user, and its group.
        QString deniedPort;
        QString deniedGroup;
        // The first port that another program holds.
        QString busyPort;
        // The found device's answer to "Name".
        QString name;
        // The first port that answered "Name" without "KT290", and its answer.
        int otherPort = 0;
        QString otherAnswer;
        // Why each network port failed to open, named with its address.
        QStringList networkFailures;
    };

    // What one port showed when it was asked.
    struct PortFinding {
        enum class Kind { Device, OtherDevice, Silent, Busy, Denied, Absent, OpenFailed };
        int port = 0;
        QString path; // the system path; empty when COMn does not exist
        Kind kind = Kind::Absent;
        QString answer;       // the answer to "Name" (KT 290 or another device)
        QString typeText;     // a KT 290's type
        QString serialNumber; // a KT 290's F.Nr
        QString error;        // the system's reason when the port did not open
        bool network = false; // a server in the network, its reason named with the address
    };
    // Asks the KT 290 on the open port what else is to be known of it.
    using Identify = std::function<void(PortFinding &finding)>;

    explicit ConnectionScan(DeviceProtocol &protocol);

    // Told the port (COMn) before it is opened and asked.
    using Asking = std::function<void(const QString &port)>;

    // Asks the ports first … last (a single port when both are the same).
    Result run(int first = FirstPort, int last = LastPort, const Asking &asking = {});
    // Asks every port of first … last for its name and closes it again.
    QList<PortFinding> survey(const Identify &identify, int first = FirstPort, int last = LastPort);

private:
    DeviceProtocol &m_protocol;
};
