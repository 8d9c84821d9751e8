#pragma once

#include <QString>

#include <functional>
#include <optional>

class DeviceProtocol;

// Fetches the device's log: the answer to "log", then whatever the device goes on sending until
// it pauses for a pass or until 2 seconds after the question began.
class LogFetch final {
public:
    // Gets the log text so far after every step, so that it can be shown while it grows.
    using Progress = std::function<void(const QString &text)>;

    explicit LogFetch(DeviceProtocol &protocol);

    // The log without its header line and trimmed; nothing when the device did not answer.
    std::optional<QString> run(const Progress &progress = {});

    // The text without its first line when that line contains "LogFile".
    static QString withoutHeader(const QString &text);
    // The text after the "poti[0]" line that ends a setup print which came late.
    static QString withoutSetupPrint(const QString &text);

private:
    DeviceProtocol &m_protocol;
};
