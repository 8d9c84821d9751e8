#pragma once

#include <QElapsedTimer>
#include <QString>

#include <functional>

class ComLink;

// Questions to the device: a command ended by CR, sent character by character; the device
// echoes it and answers in lines ended by CR LF.
//
// A conversation that is asked to stop ends at its next safe point: a command being sent is
// finished, CR included, but no new question or set command starts and pauses end early.
// Only SendAlways still goes out, for the commands that bring the device back to its normal
// state ("kalr 0"). A sequence that the device must get whole (a setup write through "swr1")
// is marked as finishing: a stop at the safe point waits for its end, only a forced stop cuts it
// after the command under way.
//
// An answer belongs to its question: it is what the device sends after the echo of the
// question's CR; a number answer begins with the command's name; lines that an earlier, slow
// answer left on the line are passed over, never taken for this question's answer. The device
// may answer the CR that cleans its input line (an empty line, or what was left in it): with
// "?", its word for a line it does not understand, which is never an answer to a question of
// ours, or with any other text, which is told apart by the device answering in order: when the
// first line after a cleaning could still be the cleaning's answer, the question waits as long
// as the device took from the cleaning to the question; a line that comes in that time is the
// question's answer, and what came before it the cleaning's.
class DeviceProtocol final {
public:
    explicit DeviceProtocol(ComLink &link);

    // The answer without the echo, trimmed; empty when two attempts brought no complete answer,
    // the port is (or gets) closed, or the conversation is stopping.
    QString DeviceQuery(const QString &command);
    // The answer read as a number after the repeated command name, or NoValue.
    double DeviceQueryNumber(const QString &command);

    // The number part of an answer text that DeviceQuery gave for `command`, or NoValue.
    static double ReadNumberAnswer(const QString &command, QString answer);

    // What the trimming took from the end of the last answer (its line end, for one): together
    // with the answer, exactly what the device sent.
    QString lastAnswerEnd() const { return m_lastAnswerEnd; }

    // A set command with CR, then the pause the device needs; false (nothing sent) when the
    // conversation is stopping or the port is closed.
    bool Send(const QString &command, double pauseSeconds = 0.0);
    // A set command that goes out even while the conversation stops.
    void SendAlways(const QString &command, double pauseSeconds = 0.0);
    // A pause that ends early when the conversation is asked to stop.
    void Pause(double seconds);

    // Readings with and without the calibration resistor: "kalr 1", 1 s, "mvv0", "kalr 0", 1 s,
    // "mvv0". The resistor is always switched off again once it was switched on. With
    // `secondNeedsFirst`, the second reading is skipped when the first brought no value.
    // `afterFirst` gets the first reading before the resistor is switched off.
    struct CalibrationReadings {
        double withResistor;
        double withoutResistor;
    };
    CalibrationReadings ReadWithCalibration(bool secondNeedsFirst,
                                            const std::function<void(double)> &afterFirst = {});

    enum class Stop { None, AtSafePoint, Now };
    // The stop request of the conversation; the check also counts the program's end.
    void setStop(Stop stop) { m_stop = stop; }
    Stop stop() const { return m_stop; }
    // While set, a stop at the safe point lets the sequence under way run to its end.
    void setFinishing(bool finishing) { m_finishing = finishing; }
    bool isFinishing() const { return m_finishing; }
    bool stopping() const;
    // The port is closed or the conversation stops: nothing more is asked.
    bool ended() const;

    ComLink &link() const { return m_link; }

    // Characters typed without CR, or an exchange cut off, may be left in the device's input
    // line: the next question or set command first ends that line with a CR of its own.
    void markLineUnclean() { m_lineUnclean = true; }

private:
    enum class Kind { Text, Number };
    QString query(const QString &command, Kind kind);
    void cleanLine();
    QString drain();
    bool waitForAnswer(const QString &command, Kind kind, qsizetype echoMark, QString &answer);
    qint64 cleaningAnswerGapMs() const;

    ComLink &m_link;
    Stop m_stop = Stop::None;
    bool m_finishing = false;
    bool m_lineUnclean = false;
    quint64 m_cleanedOpening = 0;
    // Since the last cleaning CR: until one answer time has passed, its answer may still come.
    QElapsedTimer m_sinceCleaning;
    QString m_lastAnswerEnd;
};
