#pragma once

#include <QString>
#include <QStringList>

#include <array>
#include <functional>

class DeviceProtocol;

// The device's full status report, line by line: identity and versions, the error, the values
// at the input terminals and the input signal, the output and its burden, the potentiometers,
// the setup print and the log. Each line goes to the sink as soon as its answer is there, so
// the report grows while the device is being asked.
class StatusReport final {
public:
    using LineSink = std::function<void(const QString &line)>;
    // Fetches the device's log and gives its text (empty when there was none).
    using LogSource = std::function<QString()>;
    using Potentiometers = std::array<double, 5>;

    StatusReport(DeviceProtocol &protocol, bool strainGauge, LogSource log, LineSink addLine);

    void build();
    // The device's answer to "spr" in the report just built.
    const QString &setupPrint() const { return m_setupPrint; }
    // The parts of the report just built that the device left unanswered, by their names in
    // the report ("Fehler", "Bürde", "Setup", …).
    const QStringList &unanswered() const { return m_unanswered; }

    // The report's lines for given readings; NoValue (or less) marks a missing reading.
    static QString errorLine(double error);
    static QString seVoltageLine(double volts);
    static QString seCurrentLine(double milliamps);
    static QString siVoltageLine(double millivolts);
    static QString siSeVoltageLine(double volts);
    // The strain-gauge signal block after "  Signal:": with and without the calibration
    // resistor and what follows from the two.
    static QStringList bridgeSignalLines(double withResistor, double withoutResistor);
    static QString currentSignalLine(double milliamps);
    static QString setValueLine(double milliamps);
    // The actual-value line (for a burden that can carry current) and the burden line; the
    // actual value is only looked at when the burden is a value of −0.5 Ω or more.
    static QStringList burdenLines(double ohms, double actualMilliamps);
    static bool burdenOpen(double ohms);
    static QStringList potentiometerLines(const Potentiometers &percent);

    // The five potentiometer positions in percent, from the answer to "poti" (asked a second
    // time when the first answer is empty).
    static Potentiometers ReadPotentiometers(DeviceProtocol &protocol);
    static Potentiometers parsePotentiometers(QString answer);

    // A text as memo lines: CR LF, CR and LF each end a line; an empty text is one empty line.
    static QStringList splitLines(const QString &text);

private:
    void add(const QString &text);
    QString addAnswer(const QString &answer, const char *name);
    double ask(const char *command);
    void missing(const char *name);
    void addInputLines(double error);
    void addSignalLines();
    void addOutputLines();

    DeviceProtocol &m_protocol;
    bool m_strainGauge;
    LogSource m_log;
    LineSink m_addLine;
    QString m_setupPrint;
    QStringList m_unanswered;
};
