#include "simulatorprocess.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QRegularExpression>

namespace {
constexpr int StartTimeoutMs = 5000;
}

bool isWholeCommand(const QString &command) {
    static const QRegularExpression whole(QStringLiteral(
        "^(Name|name|ver|spr|log|poti|inpmv|inpv|p0|fnr|tasp|fehl|mvv0|mas|al[12]ma|P2|uspv|"
        "ispma|ispk|umv|usinv|rar|maist|res|swr1|kalr [01]|input [01]|maaus [01]|R[12]POL [01]|"
        "al[12]hy \\d+\\.\\d+|druck -?[012]|vpoa \\d+\\.\\d+|vpoe \\d+\\.\\d+|"
        "nullpo -?\\d+\\.\\d+|sich [01]|mvv0 \\S+|mas \\S+)$"));
    return whole.match(command).hasMatch();
}

SimulatorProcess::~SimulatorProcess() {
    stop();
}

bool SimulatorProcess::start(const QStringList &args) {
    stop();
    m_dir = std::make_unique<QTemporaryDir>();
    if (!m_dir->isValid())
        return false;
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(
        QStringLiteral(VTK290_SIM_PATH),
        args + QStringList{QStringLiteral("--transcript"), m_dir->filePath("transcript")});
    if (!m_process->waitForStarted(StartTimeoutMs))
        return false;
    const QString line = readLine(StartTimeoutMs);
    if (!line.startsWith(QLatin1String("PORT ")))
        return false;
    m_port = line.mid(5);
    return true;
}

QString SimulatorProcess::readLine(int timeoutMs) {
    QDeadlineTimer deadline(timeoutMs);
    while (m_process) {
        const int end = m_stdout.indexOf('\n');
        if (end >= 0) {
            const QString line = QString::fromLocal8Bit(m_stdout.left(end));
            m_stdout.remove(0, end + 1);
            return line;
        }
        if (deadline.hasExpired() || m_process->state() == QProcess::NotRunning)
            break;
        m_process->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime())));
        m_stdout += m_process->readAllStandardOutput();
    }
    return {};
}

bool SimulatorProcess::control(const QString &line) {
    if (!m_process || m_process->state() != QProcess::Running)
        return false;
    m_process->write((line + QLatin1Char('\n')).toUtf8());
    m_process->waitForBytesWritten(StartTimeoutMs);
    QDeadlineTimer deadline(StartTimeoutMs);
    while (!deadline.hasExpired()) {
        const QString answer = readLine(int(qMax<qint64>(1, deadline.remainingTime())));
        if (answer.isEmpty())
            return false;
        if (answer.startsWith(QLatin1String("PORT ")))
            m_port = answer.mid(5);
        else if (answer == QLatin1String("OK ") + line.trimmed())
            return true;
        else if (answer.startsWith(QLatin1String("ERR ")))
            return false;
    }
    return false;
}

QStringList SimulatorProcess::transcript() const {
    if (!m_dir)
        return {};
    QFile file(m_dir->filePath("transcript"));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
}

QStringList SimulatorProcess::commands() const {
    QStringList result;
    for (const QString &line : transcript()) {
        const int blank = line.indexOf(QLatin1Char(' '));
        if (line.mid(blank + 1, 4) == QLatin1String("CMD "))
            result << line.mid(blank + 5);
    }
    return result;
}

QList<QPair<double, char>> SimulatorProcess::bytes() const {
    QList<QPair<double, char>> result;
    for (const QString &line : transcript()) {
        const QStringList parts = line.split(QLatin1Char(' '));
        if (parts.size() == 3 && parts[1] == QLatin1String("BYTE"))
            result.append({parts[0].toDouble(), char(parts[2].toInt(nullptr, 16))});
    }
    return result;
}

int SimulatorProcess::openCount() const {
    int count = 0;
    for (const QString &line : transcript())
        if (line.endsWith(QLatin1String(" OPEN")))
            ++count;
    return count;
}

void SimulatorProcess::stop() {
    if (m_process && m_process->state() != QProcess::NotRunning) {
        m_process->write("quit\n");
        m_process->closeWriteChannel();
        if (!m_process->waitForFinished(3000)) {
            m_process->kill();
            m_process->waitForFinished(3000);
        }
    }
    m_process.reset();
    m_port.clear();
    m_stdout.clear();
}
