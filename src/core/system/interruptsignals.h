#pragma once

#include <QObject>

// Ctrl+C, SIGTERM and SIGHUP (a closed terminal, the end of a desktop session) as a Qt signal,
// delivered by the event loop, so the program stops its conversation with the device at a safe
// point instead of dying in the middle of a command. On Windows: Ctrl+C, Ctrl+Break and the
// console's close. The only place of the program with system calls of its own.
class InterruptSignals final : public QObject {
    Q_OBJECT

public:
    explicit InterruptSignals(QObject *parent = nullptr);
    ~InterruptSignals() override;

    InterruptSignals(const InterruptSignals &) = delete;
    InterruptSignals &operator=(const InterruptSignals &) = delete;

    // How many interruptions came so far.
    int count() const { return m_count; }
    // Counts one interruption and tells about it (called from the event loop).
    void deliver(const QString &name);

signals:
    // The n-th interruption (1 for the first), with the system's name for it ("SIGINT", …).
    void interrupted(int count, const QString &name);

private:
    int m_count = 0;
};
