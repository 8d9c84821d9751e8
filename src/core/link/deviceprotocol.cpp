#include "core/link/deviceprotocol.h"

#include "core/link/allgem.h"
#include "core/link/ucom.h"

#include <QDeadlineTimer>
#include <QRegularExpression>
#include <QStringList>

#include <thread>

namespace {

constexpr double PollStep = 0.1;
// Pauses are waited out in slices so that a stop request ends them soon.
constexpr double PauseSlice = 0.05;
constexpr double CalibrationPause = 1.0;
constexpr int AnswerTimeoutMs = 1000;
constexpr int DrainTimeoutMs = 1000;
// How long after the cleaning CR its answer may come: one answer time and a polling step.
constexpr qint64 CleaningAnswerMs = AnswerTimeoutMs + 100;
// What a question following a cleaning waits beyond the device's own gap between the two: the
// polling steps of both lines' arrival.
constexpr qint64 CleaningHoldMarginMs = 200;
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
    m_sinceCleaning.start();
    // An answer that came at once is gone with the rest: nothing of the cleaning is left to come.
    if (!TrimControl(drain()).isEmpty())
        m_sinceCleaning.invalidate();
}

// Everything the device sent before the question is discarded, until a quiet tenth of a second.
// Returns what was discarded after the first poll.
QString DeviceProtocol::drain() {
    const QDeadlineTimer deadline(DrainTimeoutMs, Qt::PreciseTimer);
    QString discarded;
    m_link.ComPoll();
    do {
        discarded += m_link.ComRxText;
        m_link.ComRxText.clear();
        WaitSeconds(PollStep);
        m_link.ComPoll();
    } while (!m_link.ComRxText.isEmpty() && !deadline.hasExpired() && !ended());
    return discarded;
}

// The time from the cleaning CR to now (the question's CR) while the cleaning's answer may still
// come, else -1.
qint64 DeviceProtocol::cleaningAnswerGapMs() const {
    if (!m_sinceCleaning.isValid())
        return -1;
    const qint64 gap = m_sinceCleaning.elapsed();
    return gap < CleaningAnswerMs ? gap : -1;
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

// The device's answer to a line it did not understand: an empty line, what was left in its input
// line, an unknown command.
bool notUnderstood(const QString &line) {
    return line == QLatin1String("?");
}

// A line of the setup print: its "Version" head, its "poti[0]" end, or one that ends with a
// labelled number (" Filter: 2", " mako: 90   makf: 2.313980e-04"), also when a late print
// comes cut at the start of a line.
bool setupPrintLine(const QString &line) {
    static const QRegularExpression labelledNumber(
        QStringLiteral("[A-Za-z][A-Za-z0-9 \\[\\]]*:\\s*[-+]?\\d+(\\.\\d*)?([eE][-+]?\\d+)?$"));
    return line.contains(QLatin1String("Version:")) || line.contains(QLatin1String("poti[")) ||
           labelledNumber.match(line).hasMatch();
}

// A line that cannot be this question's answer: empty, the rest of the question's own echo, the
// device not understanding an earlier line, or the answer to another question that came late (a
// number question, the setup print).
bool notAnAnswer(const QString &line, const QString &command) {
    if (line.isEmpty() || command.endsWith(line) || notUnderstood(line) || setupPrintLine(line))
        return true;
    for (const QString &name : numberQuestions())
        if (name != command && beginsWithName(line, name) &&
            HasValue(DeviceProtocol::ReadNumberAnswer(name, line)))
            return true;
    return false;
}

// The setup print begins with its "Version" line, the version answer with its first version
// line; lines before them are another answer's.
bool beginsAnswer(const QString &line, const QString &command) {
    if (command == QLatin1String("spr"))
        return line.contains(QLatin1String("Version"));
    if (command == QLatin1String("ver"))
        return line.contains(QLatin1String("Version")) && !setupPrintLine(line);
    return !notAnAnswer(line, command);
}

} // namespace

// Polls in steps of 0.1 s until the answer has come after the echo, for at most one second. A
// number answer is the first line that begins with the command's name; a text answer runs from
// the first line that is not passed over to the end of what came, the setup print from its
// "Version" line through its "poti[0]" line.
//
// A text answer that comes while the cleaning's answer may still be on its way could be that
// answer: the device answers its lines in order and takes as long for each, so the question's
// own answer would follow as long after it as the question followed the cleaning. The wait goes
// on that long; a line that comes in its second half is the question's answer.
bool DeviceProtocol::waitForAnswer(const QString &command, Kind kind, qsizetype echoMark,
                                   QString &answer) {
    const bool isVersion = command == QLatin1String("ver");
    const bool isSetupPrint = command == QLatin1String("spr");
    // The log is collected on after its answer, and the setup print has a form of its own.
    const qint64 cleaningGap =
        kind == Kind::Text && !isSetupPrint && command != QLatin1String("log")
            ? cleaningAnswerGapMs()
            : -1;
    const QDeadlineTimer deadline(AnswerTimeoutMs, Qt::PreciseTimer);
    bool holdDecided = false;
    qint64 holdEndMs = -1;
    qint64 secondGroupMs = -1;
    qsizetype secondGroupMark = -1;
    qsizetype start = -1;
    qsizetype end = -1;
    // A setup print that has begun is received to its end while it keeps coming: one poll moves
    // at most 255 bytes, so a late print may need steps beyond the answer time.
    const QDeadlineTimer printDeadline(2 * AnswerTimeoutMs, Qt::PreciseTimer);
    bool printComing = false;
    for (;;) {
        WaitSeconds(PollStep);
        const bool holding = holdEndMs >= 0;
        if (holding && secondGroupMark < 0 && m_sinceCleaning.elapsed() >= secondGroupMs)
            secondGroupMark = m_link.ComRxText.size();
        const qsizetype before = m_link.ComRxText.size();
        m_link.ComPoll();
        const bool grew = m_link.ComRxText.size() > before;
        if (isVersion) {
            // The version answer has several lines; one more step collects the rest.
            WaitSeconds(PollStep);
            m_link.ComPoll();
        }
        const QString &received = m_link.ComRxText;
        start = -1;
        end = -1;
        bool notUnderstoodSeen = false;
        qsizetype scanFrom = echoMark;
        if (kind == Kind::Text && !isSetupPrint) {
            // A setup print that came late ends with its "poti[0]" line: what came up to it is
            // the print's, cut lines included.
            const qsizetype printEnd = received.lastIndexOf(QLatin1String("poti[0]"));
            if (printEnd >= echoMark) {
                const qsizetype lineEnd = received.indexOf(CrLf, printEnd);
                scanFrom = lineEnd < 0 ? received.size() : lineEnd + CrLf.size();
            }
        }
        for (qsizetype from = scanFrom; from < received.size();) {
            const qsizetype lineEnd = received.indexOf(CrLf, from);
            if (lineEnd < 0)
                break;
            const QString line = TrimControl(received.mid(from, lineEnd - from));
            const qsizetype next = lineEnd + CrLf.size();
            notUnderstoodSeen = notUnderstoodSeen || (start < 0 && notUnderstood(line));
            const bool candidate = kind == Kind::Number
                                       ? beginsWithName(line, command) && line != command
                                       : beginsAnswer(line, command);
            if (candidate && (start < 0 || (from >= secondGroupMark && start < secondGroupMark &&
                                            secondGroupMark >= 0))) {
                start = from;
                end = kind == Kind::Number ? next : received.size();
                if (kind == Kind::Number || secondGroupMark < 0 || start >= secondGroupMark)
                    break;
            }
            from = next;
        }
        if (start >= 0 && isSetupPrint) {
            const QString print = received.mid(start);
            const qsizetype last = print.indexOf(QLatin1String("poti[0]"));
            if (last < 0) {
                start = -1;
                printComing = grew;
            } else {
                WaitSeconds(PollStep);
                m_link.ComPoll();
                // The print ends with its "poti[0]" line; what follows is another answer's.
                const qsizetype lineEnd = m_link.ComRxText.indexOf(CrLf, start + last);
                end = lineEnd < 0 ? m_link.ComRxText.size() : lineEnd + CrLf.size();
            }
        }
        if (notUnderstoodSeen)
            m_sinceCleaning.invalidate();
        if (start >= 0 && !holdDecided) {
            holdDecided = true;
            if (cleaningGap >= 0 && m_sinceCleaning.isValid() &&
                m_sinceCleaning.elapsed() < CleaningAnswerMs) {
                const qint64 now = m_sinceCleaning.elapsed();
                secondGroupMs = now + cleaningGap - qint64(PollStep * 1000);
                holdEndMs = now + cleaningGap + CleaningHoldMarginMs;
            }
        }
        if (ended())
            break;
        if (start >= 0 && (holdEndMs < 0 || m_sinceCleaning.elapsed() >= holdEndMs))
            break;
        if (start < 0 && deadline.hasExpired() && (!printComing || printDeadline.hasExpired()))
            break;
    }
    if (start < 0) {
        answer.clear();
        return false;
    }
    // In order, the cleaning's answer (if any) came before this one: nothing of it is to come.
    m_sinceCleaning.invalidate();
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
