#include "clirun.h"

#include <QDeadlineTimer>

Cli::Cli()
    : env(QProcessEnvironment::systemEnvironment()) {}

Cli::~Cli() {
    kill();
}

void Cli::prepare(QProcess &process) const {
    process.setProcessEnvironment(env);
    if (!standardOutputFile.isEmpty())
        process.setStandardOutputFile(standardOutputFile);
}

CliRun Cli::result(QProcess &process) {
    CliRun run;
    run.code = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromUtf8(process.readAllStandardOutput());
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

CliRun Cli::run(const QStringList &args, const std::function<void()> &whileRunning, int pollMs) {
    QProcess process;
    prepare(process);
    process.start(QStringLiteral(VTK290_CLI_PATH), args);
    const QDeadlineTimer deadline(timeoutMs);
    while (process.state() != QProcess::NotRunning && !deadline.hasExpired()) {
        const int waitMs = whileRunning ? pollMs : int(qMax<qint64>(1, deadline.remainingTime()));
        if (!process.waitForFinished(waitMs) && whileRunning)
            whileRunning();
    }
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished();
        return {};
    }
    if (process.error() == QProcess::FailedToStart)
        return {};
    return result(process);
}

QProcess *Cli::start(const QStringList &args) {
    QProcess &process = m_started.emplace_back();
    prepare(process);
    process.start(QStringLiteral(VTK290_CLI_PATH), args);
    process.waitForStarted(5000);
    return &process;
}

CliRun Cli::finish(QProcess *process) {
    // A run that has ended already is collected as it is.
    const bool ended =
        process->state() == QProcess::NotRunning || process->waitForFinished(timeoutMs);
    if (!ended || process->error() == QProcess::FailedToStart)
        return {};
    return result(*process);
}

void Cli::kill() {
    for (QProcess &process : m_started) {
        process.kill();
        process.waitForFinished(3000);
    }
    m_started.clear();
}
