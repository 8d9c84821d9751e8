#pragma once

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

#include <functional>
#include <list>

// How a run of vtk290-cli ended: its exit code (-1 when it crashed, could not start or was
// killed at the deadline), standard output and standard error.
struct CliRun {
    int code = -1;
    QString out;
    QString err;
};

// vtk290-cli as a user runs it: its real process, with this process's environment plus what the
// test gives it.
class Cli {
public:
    Cli();
    ~Cli();
    Cli(const Cli &) = delete;
    Cli &operator=(const Cli &) = delete;

    // What the program gets: this process's environment, changed by the test.
    QProcessEnvironment env;
    // Standard output into this file instead of `out` (e.g. /dev/full) when not empty.
    QString standardOutputFile;
    // How long a run may take before it is killed.
    int timeoutMs = 90000;

    // Runs to its end. `whileRunning` is called every `pollMs` while the program runs (e.g. to
    // give the simulator a control line once the program has asked something).
    CliRun run(const QStringList &args, const std::function<void()> &whileRunning = {},
               int pollMs = 20);

    // Starts a run that the test acts on while it runs (signals); finish() collects it. A run
    // not finished is killed when the Cli ends or kill() is called.
    QProcess *start(const QStringList &args);
    // Waits for the run's end (at most `timeoutMs`); code -1 when it has not ended.
    CliRun finish(QProcess *process);
    // Kills every started run that is still running.
    void kill();

private:
    void prepare(QProcess &process) const;
    static CliRun result(QProcess &process);

    std::list<QProcess> m_started;
};
