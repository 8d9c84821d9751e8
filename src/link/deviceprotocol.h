#pragma once

#include <QString>

#include <functional>

class ComLink;

// Questions to the device: a command ended by CR, sent character by character; the device
// echoes it and answers in lines ended by CR LF.
//
// A conversation that is asked to stop ends at its next safe point: a command being sent is
// finished, CR included, but no new question or set command starts and pauses end early.
// Only SendAlways still goes out, for the commands that bring the device back to its normal
// state ("kalr 0").
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

    // The stop request of the conversation; the check also counts the program's end.
    void setStopRequested(bool stop) { m_stopRequested = stop; }
    bool stopping() const;
    // The port is closed or the conversation stops: nothing more is asked.
    bool ended() const;

    ComLink &link() const { return m_link; }

private:
    void drain();
    bool waitForAnswer(const QString &command);

    ComLink &m_link;
    bool m_stopRequested = false;
    QString m_lastAnswerEnd;
};
