#include "core/diag/statusreport.h"

#include "core/link/allgem.h"
#include "core/link/deviceprotocol.h"
#include "core/link/ucom.h"

#include <algorithm>

namespace {

constexpr double CalibrationShare = 0.22;

// The error texts after "Fehler ", by the device's error code 1 to 6.
constexpr const char *ErrorTexts[] = {
    " 1: Brückenwiderstand zu klein ",    " 2: Brückenwiderstand zu groß ",
    " 3: Brückensignal überschritten ",   " 4: Brückensignal unterschritten ",
    " 5: Brückenmittenspannung zu groß ", " 6: Brückenmittenspannung zu klein ",
};
constexpr const char *NoError = " 0: kein Fehler ";
constexpr const char *UnknownError = "  unbekannter Fehler ";

struct PotentiometerLabel {
    const char *present; // the number follows directly
    const char *missing;
};

constexpr PotentiometerLabel PotentiometerLabels[5] = {
    {"  0       ", "  0        "}, {"  V       ", "  V        "}, {"  SP1   ", "  SP1        "},
    {"  SP2   ", "  SP2        "}, {"  D       ", "  D        "},
};

// The report's name of each value it asks for, for the list of what went unanswered.
struct QuestionName {
    const char *command;
    const char *name;
};
constexpr QuestionName QuestionNames[] = {
    {"fehl", "Fehler"},
    {"uspv", "Spannung SE+ zu SE-"},
    {"ispma", "Strom SE+ zu SE-"},
    {"ispk", "Strom SE+ zu SE-"},
    {"umv", "Spannung SI+ zu SI-"},
    {"usinv", "Spannung SI- zu SE-"},
    {"mvv0", "Signal"},
    {"mas", "Sollwert"},
    {"rar", "Bürde"},
    {"maist", "Istwert"},
};

// What stands after a label whose value is missing on the lines of the output.
const QString EightBlanks(8, QLatin1Char(' '));

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// The label, then the separator and the number with its unit; the label alone when the value is
// missing.
QString valueLine(const char *label, const char *separator, double value, int precision,
                  int decimals, const char *unit) {
    QString line = text(label);
    if (HasValue(value))
        line += text(separator) + FormatFixed(value, precision, decimals) + text(unit);
    return line;
}

} // namespace

StatusReport::StatusReport(DeviceProtocol &protocol, bool strainGauge, LogSource log,
                           LineSink addLine)
    : m_protocol(protocol)
    , m_strainGauge(strainGauge)
    , m_log(std::move(log))
    , m_addLine(std::move(addLine)) {}

void StatusReport::build() {
    m_unanswered.clear();
    add(QStringLiteral("--- KT290 Status Anfang ---"));
    addAnswer(m_protocol.DeviceQuery(QStringLiteral("name")), "Name");
    addAnswer(m_protocol.DeviceQuery(QStringLiteral("ver")), "Version");
    const double error = ask("fehl");
    add(errorLine(error));
    addInputLines(error);
    addOutputLines();
    add(QStringLiteral("Potentiometer"));
    const Potentiometers potentiometers = ReadPotentiometers(m_protocol);
    if (std::any_of(potentiometers.begin(), potentiometers.end(),
                    [](double percent) { return !HasValue(percent); }))
        missing("Potentiometer");
    for (const QString &line : potentiometerLines(potentiometers))
        add(line);
    add(QString());
    m_setupPrint = addAnswer(m_protocol.DeviceQuery(QStringLiteral("spr")), "Setup");
    add(QStringLiteral("LogFile"));
    addAnswer(m_log ? m_log() : QString(), "Logbuch");
    add(QStringLiteral("--- KT290 Status Ende ---"));
    // The terminal's echo lands on this last line.
    add(QString());
}

void StatusReport::add(const QString &text) {
    for (const QString &line : splitLines(text))
        m_addLine(line);
}

QString StatusReport::addAnswer(const QString &answer, const char *name) {
    if (answer.isEmpty())
        missing(name);
    add(answer);
    return answer;
}

double StatusReport::ask(const char *command) {
    const double value = m_protocol.DeviceQueryNumber(QLatin1String(command));
    if (!HasValue(value)) {
        for (const QuestionName &question : QuestionNames)
            if (qstrcmp(question.command, command) == 0)
                missing(question.name);
    }
    return value;
}

void StatusReport::missing(const char *name) {
    const QString text = QString::fromUtf8(name);
    if (!m_unanswered.contains(text))
        m_unanswered << text;
}

void StatusReport::addInputLines(double error) {
    add(QStringLiteral("Eingang"));
    add(seVoltageLine(ask("uspv")));
    // With a too small bridge resistance (error 1) the device measures the current otherwise.
    add(seCurrentLine(ask(error == 1.0 ? "ispk" : "ispma")));
    if (m_strainGauge) {
        add(siVoltageLine(ask("umv")));
        add(siSeVoltageLine(ask("usinv")));
    }
    addSignalLines();
}

void StatusReport::addSignalLines() {
    if (!m_strainGauge) {
        add(currentSignalLine(ask("mvv0")));
        return;
    }
    add(QStringLiteral("  Signal:"));
    const auto [withResistor, withoutResistor] =
        m_protocol.ReadWithCalibration(false, [this](double withResistor) {
            add(bridgeSignalLines(withResistor, NoValue).at(0));
        });
    if (!HasValue(withResistor) || !HasValue(withoutResistor))
        missing("Signal");
    for (const QString &line : bridgeSignalLines(withResistor, withoutResistor).mid(1))
        add(line);
}

void StatusReport::addOutputLines() {
    add(QStringLiteral("Ausgang"));
    add(setValueLine(ask("mas")));
    const double burden = ask("rar");
    const bool carriesCurrent = HasValue(burden) && !burdenOpen(burden);
    const double actual = carriesCurrent ? ask("maist") : NoValue;
    for (const QString &line : burdenLines(burden, actual))
        add(line);
}

QString StatusReport::errorLine(double error) {
    QString name = text(NoError);
    if (error > 0.0) {
        const std::optional<std::int32_t> code = NearestInt(error);
        name = code && *code >= 1 && *code <= 6 ? text(ErrorTexts[*code - 1]) : text(UnknownError);
    }
    return QStringLiteral("Fehler ") + name;
}

QString StatusReport::seVoltageLine(double volts) {
    return valueLine("  Spannung SE+ zu SE-", "  ", volts, 5, 3, "V");
}

QString StatusReport::seCurrentLine(double milliamps) {
    return valueLine("  Strom SE+ zu SE-", "  ", milliamps, 5, 0, "mA");
}

QString StatusReport::siVoltageLine(double millivolts) {
    return valueLine("  Spannung SI+ zu SI-:", " ", millivolts, 5, 3, "mV");
}

QString StatusReport::siSeVoltageLine(double volts) {
    return valueLine("  Spannung SI- zu SE-:", "  ", volts, 5, 3, "V");
}

// A missing reading takes no part in the arithmetic: its lines show their label alone.
QStringList StatusReport::bridgeSignalLines(double withResistor, double withoutResistor) {
    const bool both = HasValue(withResistor) && HasValue(withoutResistor);
    const double difference = both ? withResistor - withoutResistor : NoValue;
    const double share = both ? CalibrationShare * difference : NoValue;
    const double corrected = both ? withoutResistor - share : NoValue;
    return {
        valueLine("  mit Kalibrierwiderstand", "  ", withResistor, 5, 3, "mV/V"),
        valueLine("  ohne Kalibrierwiderstand", " ", withoutResistor, 5, 3, "mV/V"),
        valueLine("  berechnet: Differenz", " ", difference, 5, 3, "mV/V"),
        valueLine("  berechnet: 22% von Differenz", " ", share, 5, 3, "mV/V"),
        valueLine("  berechnet: ohne KT290-Widerstände", " ", corrected, 5, 3, "mV/V"),
    };
}

QString StatusReport::currentSignalLine(double milliamps) {
    return valueLine("  Signal:", " ", milliamps, 5, 2, "mA");
}

QString StatusReport::setValueLine(double milliamps) {
    if (!HasValue(milliamps))
        return QStringLiteral("  Sollwert:") + EightBlanks;
    return QStringLiteral("  Sollwert: ") + FormatFixed(milliamps, 5, 2) + QStringLiteral("mA");
}

// The device reports an open output (more than 10 kΩ) as a negative burden.
bool StatusReport::burdenOpen(double ohms) {
    return ohms < -0.5;
}

QStringList StatusReport::burdenLines(double ohms, double actualMilliamps) {
    const QString label = QStringLiteral("  Bürde:");
    if (!HasValue(ohms))
        return {label + EightBlanks};
    if (burdenOpen(ohms))
        return {label + QStringLiteral(" >10kOhm")};
    const QString actual = HasValue(actualMilliamps)
                               ? QStringLiteral("  Istwert: ") +
                                     FormatFixed(actualMilliamps, 5, 2) + QStringLiteral("mA")
                               : QStringLiteral("  Istwert:") + EightBlanks;
    return {actual, label + QLatin1Char(' ') + FormatFixed(ohms, 5, 0) + QStringLiteral("Ohm")};
}

QStringList StatusReport::potentiometerLines(const Potentiometers &percent) {
    QStringList lines;
    for (std::size_t i = 0; i < percent.size(); ++i) {
        const PotentiometerLabel &label = PotentiometerLabels[i];
        lines << (HasValue(percent[i])
                      ? text(label.present) + FormatFixed(percent[i], 4, 1) + QLatin1Char('%')
                      : text(label.missing));
    }
    return lines;
}

StatusReport::Potentiometers StatusReport::ReadPotentiometers(DeviceProtocol &protocol) {
    QString answer = protocol.DeviceQuery(QStringLiteral("poti"));
    // The device sometimes has no answer ready at the first question.
    if (answer.isEmpty())
        answer = protocol.DeviceQuery(QStringLiteral("poti"));
    return parsePotentiometers(answer);
}

// Each entry is "i: name=value%"; the text is used up from the front, so every search starts
// behind the previous entry's "=" and the entries must come in index order.
StatusReport::Potentiometers StatusReport::parsePotentiometers(QString answer) {
    Potentiometers values;
    for (int i = 0; i < int(values.size()); ++i) {
        values[i] = NoValue;
        const QString mark = QString::number(i) + QStringLiteral(": ");
        const qsizetype entry = answer.indexOf(mark);
        if (entry < 0)
            continue;
        answer.remove(0, entry + mark.size());
        const qsizetype equals = answer.indexOf(QLatin1Char('='));
        if (equals < 0)
            continue;
        answer.remove(0, equals + 1);
        const qsizetype percent = answer.indexOf(QLatin1Char('%'));
        if (percent < 0)
            continue;
        // A position that is no number stays missing.
        if (const std::optional<double> value = ReadPointNumber(TrimControl(answer.left(percent))))
            values[i] = *value;
    }
    return values;
}

QStringList StatusReport::splitLines(const QString &text) {
    QStringList lines;
    QString line;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c != QLatin1Char('\r') && c != QLatin1Char('\n')) {
            line += c;
            continue;
        }
        lines << line;
        line.clear();
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n'))
            ++i;
    }
    lines << line;
    return lines;
}
