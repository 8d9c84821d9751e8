#include "deviceprotocol.h"

#include "allgem.h"
#include "ucom.h"

#include <QDeadlineTimer>

namespace {

constexpr double PollStep = 0.1;
// Pauses are waited out in slices so that a stop request ends them soon.
constexpr double PauseSlice = 0.05;
constexpr double CalibrationPause = 1.0;
constexpr int AnswerTimeoutMs = 1000;
constexpr int DrainTimeoutMs = 1000;
const QLatin1String CrLf("\r\n");

} // namespace

DeviceProtocol::DeviceProtocol(ComLink &link)
    : m_link(link) {}

QString DeviceProtocol::DeviceQuery(const QString &command) {
    QString answer;
    m_lastAnswerEnd.clear();
    // A closed port (the device was unplugged) has nothing to answer: the question ends at once
    // instead of waiting out both attempts, so long operations end promptly too.
    for (int attempt = 0; attempt < 2 && !ended(); ++attempt) {
        drain();
        if (ended())
            break;
        m_link.ComSendText(command + QLatin1Char('\r'));
        if (waitForAnswer(command)) {
            const QString received = m_link.ComRxText.mid(command.size());
            m_link.ComRxText.clear();
            answer = TrimControl(received);
            const qsizetype start = answer.isEmpty() ? received.size() : received.indexOf(answer);
            m_lastAnswerEnd = received.mid(start + answer.size());
        } else {
            answer.clear();
        }
        if (!answer.isEmpty())
            break;
    }
    return answer;
}

bool DeviceProtocol::stopping() const {
    return m_stopRequested || WaitsAborted();
}

bool DeviceProtocol::ended() const {
    return stopping() || !m_link.ComHandleValid();
}

bool DeviceProtocol::Send(const QString &command, double pauseSeconds) {
    if (ended())
        return false;
    SendAlways(command, pauseSeconds);
    return true;
}

void DeviceProtocol::SendAlways(const QString &command, double pauseSeconds) {
    m_link.ComSendText(command + QLatin1Char('\r'));
    Pause(pauseSeconds);
}

void DeviceProtocol::Pause(double seconds) {
    const QDeadlineTimer deadline(std::chrono::nanoseconds(qint64(seconds * 1e9)),
                                  Qt::PreciseTimer);
    while (!stopping() && !deadline.hasExpired())
        WaitSeconds(std::min(PauseSlice, deadline.remainingTimeNSecs() / 1e9));
}

DeviceProtocol::CalibrationReadings
DeviceProtocol::ReadWithCalibration(bool secondNeedsFirst,
                                    const std::function<void(double)> &afterFirst) {
    CalibrationReadings readings{NoValue, NoValue};
    const bool switchedOn = Send(QStringLiteral("kalr 1"), CalibrationPause);
    if (switchedOn)
        readings.withResistor = DeviceQueryNumber(QStringLiteral("mvv0"));
    if (afterFirst)
        afterFirst(readings.withResistor);
    if (!switchedOn)
        return readings;
    // Switched off in any case: a resistor left on would falsify every later measurement.
    SendAlways(QStringLiteral("kalr 0"), CalibrationPause);
    if (secondNeedsFirst && !HasValue(readings.withResistor))
        return readings;
    readings.withoutResistor = DeviceQueryNumber(QStringLiteral("mvv0"));
    return readings;
}

// Everything the device sent before the question is discarded, until a quiet tenth of a second.
void DeviceProtocol::drain() {
    const QDeadlineTimer deadline(DrainTimeoutMs, Qt::PreciseTimer);
    m_link.ComPoll();
    do {
        m_link.ComRxText.clear();
        WaitSeconds(PollStep);
        m_link.ComPoll();
    } while (!m_link.ComRxText.isEmpty() && !deadline.hasExpired() && !ended());
}

// Polls in steps of 0.1 s: the step keeps the echo's own line end from being taken for the
// answer, since the answer follows the echo within that time.
bool DeviceProtocol::waitForAnswer(const QString &command) {
    const bool isVersion = command == QLatin1String("ver");
    const bool isSetupPrint = command == QLatin1String("spr");
    const QDeadlineTimer deadline(AnswerTimeoutMs, Qt::PreciseTimer);
    bool complete = false;
    do {
        WaitSeconds(PollStep);
        m_link.ComPoll();
        complete = m_link.ComRxText.contains(CrLf);
        if (isVersion) {
            // The version answer has several lines; one more step collects the rest.
            WaitSeconds(PollStep);
            m_link.ComPoll();
        }
        if (isSetupPrint) {
            complete = m_link.ComRxText.contains(QLatin1String("Version")) &&
                       m_link.ComRxText.contains(QLatin1String("poti[0]"));
            WaitSeconds(PollStep);
            m_link.ComPoll();
        }
    } while (!complete && !deadline.hasExpired() && !ended());
    return complete;
}

double DeviceProtocol::DeviceQueryNumber(const QString &command) {
    return ReadNumberAnswer(command, DeviceQuery(command));
}

double DeviceProtocol::ReadNumberAnswer(const QString &command, QString answer) {
    // The answer line repeats the command's name before the value.
    answer = TrimControl(answer.mid(command.size()));
    // A hexadecimal form is followed by a blank and the decimal form: "0x1F 31".
    const qsizetype hex = answer.indexOf(QLatin1String("0x"));
    if (hex >= 0) {
        answer.remove(0, hex + 1);
        const qsizetype blank = answer.indexOf(QLatin1Char(' '));
        if (blank >= 0)
            answer.remove(0, blank + 1);
        answer = TrimControl(answer);
    }
    const std::optional<double> value = ReadPointNumber(answer);
    return value ? *value : NoValue;
}
