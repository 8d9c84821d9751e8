#pragma once

#include <QString>

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
    };

    explicit ConnectionScan(DeviceProtocol &protocol);

    // Asks the ports first … last (a single port when both are the same).
    Result run(int first = FirstPort, int last = LastPort);

private:
    DeviceProtocol &m_protocol;
};
