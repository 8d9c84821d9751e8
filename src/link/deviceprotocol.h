#pragma once

#include <QString>

class ComLink;

// Questions to the device: a command ended by CR, sent character by character; the device
// echoes it and answers in lines ended by CR LF.
class DeviceProtocol final {
public:
    explicit DeviceProtocol(ComLink &link);

    // The answer without the echo, trimmed; empty when two attempts brought no complete answer
    // or the port is (or gets) closed.
    QString DeviceQuery(const QString &command);
    // The answer read as a number after the repeated command name, or NoValue.
    double DeviceQueryNumber(const QString &command);

    // The number part of an answer text that DeviceQuery gave for `command`, or NoValue.
    static double ReadNumberAnswer(const QString &command, QString answer);

    ComLink &link() const { return m_link; }

private:
    void drain();
    bool waitForAnswer(const QString &command);

    ComLink &m_link;
};
