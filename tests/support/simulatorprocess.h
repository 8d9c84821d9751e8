#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <memory>

// Whether a command line the device received is one the program may send, whole.
bool isWholeCommand(const QString &command);

// Starts the device simulator (vtk290-sim) for a test: a KT 290 on a pseudo-terminal, with a
// transcript of everything the program sent. Control lines wait until the simulator has
// carried them out.
class SimulatorProcess {
public:
    SimulatorProcess() = default;
    ~SimulatorProcess();
    SimulatorProcess(const SimulatorProcess &) = delete;
    SimulatorProcess &operator=(const SimulatorProcess &) = delete;

    // Starts with the given simulator options and waits (at most 5 s) for its port.
    bool start(const QStringList &args = {});
    QString portPath() const { return m_port; }
    // Sends one control line ("set fehl 3", "fault silent", "unplug", "plug", ...) and waits
    // (at most 5 s) for its acknowledgement; false when it was refused or not acknowledged.
    // After "plug", portPath() is the new port.
    bool control(const QString &line);
    QStringList commands() const;             // command lines received, in order
    QList<QPair<double, char>> bytes() const; // received bytes with their time in seconds
    int openCount() const;                    // how often the program opened the port
    QStringList transcript() const;           // the whole transcript, one event a line
    void stop();

private:
    QString readLine(int timeoutMs);

    std::unique_ptr<QProcess> m_process;
    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_port;
    QByteArray m_stdout;
};
