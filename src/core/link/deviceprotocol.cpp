#include "link/deviceprotocol.h"

#include "link/allgem.h"
#include "link/ucom.h"

#include <QDeadlineTimer>
#include <QStringList>

#include <thread>

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
    return query(command, Kind::Text);
}

double DeviceProtocol::DeviceQueryNumber(const QString &command) {
    return ReadNumberAnswer(command, query(command, Kind::Number));
}

QString DeviceProtocol::query(const QString &command, Kind kind) {
    QString answer;
    m_lastAnswerEnd.clear();
    cleanLine();
    // A closed port (the device was unplugged) has nothing to answer: the question ends at once
    // instead of waiting out both attempts, so long operations end promptly too.
    for (int attempt = 0; attempt < 2 && !ended(); ++attempt) {
        drain();
        if (ended())
            break;
        m_link.ComSendText(command);
        // What came until now is the echo of the command's characters, or left over from before:
        // the answer can only follow the CR.
        m_link.ComPoll();
        const qsizetype echoMark = m_link.ComRxText.size();
        m_link.ComSendText(QStringLiteral("\r"));
        if (waitForAnswer(command, kind, echoMark, answer))
            return answer;
    }
    // The echo of an unanswered question is nobody's answer, nor something for the terminal.
    m_link.ComRxText.clear();
    return answer;
}

bool DeviceProtocol::stopping() const {
    if (m_stop == Stop::Now)
        return true;
    return !m_finishing && (m_stop == Stop::AtSafePoint || WaitsAborted());
}

bool DeviceProtocol::ended() const {
    return stopping() || !m_link.ComHandleValid();
}

bool DeviceProtocol::Send(const QString &command, double pauseSeconds) {
    if (ended())
        return false;
    cleanLine();
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
    while (!stopping() && !deadline.hasExpired()) {
        const double slice = std::min(PauseSlice, deadline.remainingTimeNSecs() / 1e9);
        // While the program ends the event loops no longer wait; a sequence that is being
        // finished still gives the device its pauses.
        if (WaitsAborted())
            std::this_thread::sleep_for(std::chrono::nanoseconds(qint64(slice * 1e9)));
        else
            WaitSeconds(slice);
    }
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

// A CR ends whatever typed keys or a cut-off exchange left in the device's input line; its echo
// and any answer are drained with the rest.
void DeviceProtocol::cleanLine() {
    if (!m_link.ComHandleValid())
        return;
    if (!m_lineUnclean && m_cleanedOpening == m_link.ComOpenings())
        return;
    m_lineUnclean = false;
    m_cleanedOpening = m_link.ComOpenings();
    m_link.ComSendText(QStringLiteral("\r"));
    drain();
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

namespace {

// The number questions: a line that begins with one of their names and a number is an answer to
// that question.
const QStringList &numberQuestions() {
    static const QStringList names{
        QStringLiteral("inpmv"), QStringLiteral("inpv"), QStringLiteral("p0"),
        QStringLiteral("fnr"),   QStringLiteral("tasp"), QStringLiteral("fehl"),
        QStringLiteral("mvv0"),  QStringLiteral("mas"),  QStringLiteral("al1ma"),
        QStringLiteral("al2ma"), QStringLiteral("P2"),   QStringLiteral("uspv"),
        QStringLiteral("ispma"), QStringLiteral("ispk"), QStringLiteral("umv"),
        QStringLiteral("usinv"), QStringLiteral("rar"),  QStringLiteral("maist"),
    };
    return names;
}

bool beginsWithName(const QString &line, const QString &name) {
    if (!line.startsWith(name))
        return false;
    return line.size() == name.size() || !line.at(name.size()).isLetterOrNumber();
}

// A line that cannot be this question's answer: empty, the rest of the question's own echo, or
// the answer to another number question that came late.
bool notAnAnswer(const QString &line, const QString &command) {
    if (line.isEmpty() || command.endsWith(line))
        return true;
    for (const QString &name : numberQuestions())
        if (name != command && beginsWithName(line, name) &&
            HasValue(DeviceProtocol::ReadNumberAnswer(name, line)))
            return true;
    return false;
}

} // namespace

// Polls in steps of 0.1 s until the answer has come after the echo, for at most one second. A
// number answer is the first line that begins with the command's name; a text answer runs from
// the first line that is not passed over to the end of what came.
bool DeviceProtocol::waitForAnswer(const QString &command, Kind kind, qsizetype echoMark,
                                   QString &answer) {
    const bool isVersion = command == QLatin1String("ver");
    const bool isSetupPrint = command == QLatin1String("spr");
    const QDeadlineTimer deadline(AnswerTimeoutMs, Qt::PreciseTimer);
    qsizetype start = -1;
    qsizetype end = -1;
    do {
        WaitSeconds(PollStep);
        m_link.ComPoll();
        if (isVersion) {
            // The version answer has several lines; one more step collects the rest.
            WaitSeconds(PollStep);
            m_link.ComPoll();
        }
        const QString &received = m_link.ComRxText;
        start = -1;
        end = -1;
        for (qsizetype from = echoMark; from < received.size();) {
            const qsizetype lineEnd = received.indexOf(CrLf, from);
            if (lineEnd < 0)
                break;
            const QString line = TrimControl(received.mid(from, lineEnd - from));
            const qsizetype next = lineEnd + CrLf.size();
            if (kind == Kind::Number ? beginsWithName(line, command) && line != command
                                     : !notAnAnswer(line, command)) {
                start = from;
                end = kind == Kind::Number ? next : received.size();
                break;
            }
            from = next;
        }
        if (start >= 0 && isSetupPrint) {
            const QString print = received.mid(start);
            if (!print.contains(QLatin1String("Version")) ||
                !print.contains(QLatin1String("poti[0]"))) {
                start = -1;
            } else {
                WaitSeconds(PollStep);
                m_link.ComPoll();
                end = m_link.ComRxText.size();
            }
        }
    } while (start < 0 && !deadline.hasExpired() && !ended());
    if (start < 0) {
        answer.clear();
        return false;
    }
    const QString received = m_link.ComRxText.mid(start, end - start);
    m_link.ComRxText.remove(0, end);
    answer = TrimControl(received);
    const qsizetype answerStart = answer.isEmpty() ? received.size() : received.indexOf(answer);
    m_lastAnswerEnd = received.mid(answerStart + answer.size());
    return !answer.isEmpty();
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
