#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>

#include <functional>
#include <optional>

class DeviceProtocol;

// One set of live values: the input signal as the main window shows it (mV/V on strain-gauge
// models, mA on current models), the output current in mA, and the relay states.
struct LiveSample {
    QDateTime time;
    double input = 0.0;
    double output = 0.0;
    // Bit value 1 relay 1, bit value 2 relay 2; nothing when the device gave no relay states.
    std::optional<int> relayBits;
};

// Something that happened during a recording: "Anhalten", "Weiter", "Neu kalibrieren", or a gap
// where the device gave no values.
struct LiveMark {
    QDateTime time;
    QString text;
};

// The device side of the live view, without windows: asks the device for its input signal, its
// output current and its relay states, cycle after cycle, and keeps what it got. Strain-gauge
// models are calibrated with the calibration resistor first; the switch points are read once.
// It asks through the protocol that the running operation hands to each question.
class LiveSampler final {
public:
    using Clock = std::function<QDateTime()>;

    // Without a clock, each sample takes the current local time.
    explicit LiveSampler(bool strainGauge, Clock clock = {});

    bool isStrainGauge() const { return m_strainGauge; }
    // The device's type text and F.Nr for the CSV's head.
    void setIdentity(const QString &type, const QString &serialNumber);
    const QString &serialNumber() const { return m_serialNumber; }
    // Notes an event at the present time.
    void addMark(const QString &text);
    const QList<LiveMark> &marks() const { return m_marks; }

    // "al1ma", "al2ma"; NoValue for a switch point the device did not give.
    void readSwitchPoints(DeviceProtocol &protocol);
    double switchPoint1() const { return m_switchPoint1; }
    double switchPoint2() const { return m_switchPoint2; }

    // Strain-gauge models: "kalr 1", 1 s, "mvv0", "kalr 0", 1 s, "mvv0". The resistor is always
    // switched off again. False (the last correction kept) when a reading brought no value.
    bool calibrate(DeviceProtocol &protocol);
    bool isCalibrated() const { return m_calibrated; }

    // One cycle: "mvv0", "mas", "P2". Nothing when the device vanished, the conversation was
    // asked to stop, or the input or output brought no value (a gap, marked once); otherwise the
    // sample is kept.
    std::optional<LiveSample> cycle(DeviceProtocol &protocol);

    const QList<LiveSample> &samples() const { return m_samples; }

    // The values as the main window writes them, unit included.
    QString inputText(double input) const;
    static QString outputText(double output);

    // The kept samples for a spreadsheet: a head with type, F.Nr (as text), switch points (the
    // unit with the label) and the time of the first sample, a blank line, a header line, then
    // per sample the local time to a tenth of a second, input,
    // output, relay 1 and relay 2 (1 energised, 0 not, empty when unknown) and, on lines of their
    // own in time order, the marks in the last column; separated by semicolons, with a decimal
    // comma and CR LF line ends.
    QByteArray csv() const;

private:
    bool m_strainGauge;
    Clock m_clock;
    double m_switchPoint1;
    double m_switchPoint2;
    double m_correction = 0.0;
    bool m_calibrated = false;
    QList<LiveSample> m_samples;
    QList<LiveMark> m_marks;
    QString m_type;
    QString m_serialNumber;
    bool m_inGap = false;
};
