#include "core/diag/livesampler.h"

#include "core/link/allgem.h"
#include "core/link/deviceprotocol.h"

#include <QLocale>

namespace {

// The calibration resistor raises the bridge signal by a known share; the difference of the
// two readings corrects each reading without it.
constexpr double CalibrationFactor = 0.22;

constexpr const char *CsvHeaderStrainGauge =
    "Zeit;Eingang (mV/V);Ausgang (mA);Relais 1;Relais 2;Ereignis";
constexpr const char *CsvHeaderCurrent =
    "Zeit;Eingang (mA);Ausgang (mA);Relais 1;Relais 2;Ereignis";
constexpr const char *GapMark = "Lücke";
constexpr const char *CsvTimeFormat = "dd.MM.yyyy HH:mm:ss";

// The time to a tenth of a second, with a decimal comma: a cycle takes about 1.2 s.
QString csvTime(const QDateTime &time) {
    return time.toString(QLatin1String(CsvTimeFormat)) + QLatin1Char(',') +
           QString::number(time.time().msec() / 100);
}

QString relayCell(const std::optional<int> &bits, int bit) {
    if (!bits)
        return {};
    return (*bits & bit) ? QStringLiteral("1") : QStringLiteral("0");
}

} // namespace

LiveSampler::LiveSampler(bool strainGauge, Clock clock)
    : m_strainGauge(strainGauge)
    , m_clock(std::move(clock))
    , m_switchPoint1(NoValue)
    , m_switchPoint2(NoValue) {}

void LiveSampler::setIdentity(const QString &type, const QString &serialNumber) {
    m_type = type;
    m_serialNumber = serialNumber;
}

void LiveSampler::addMark(const QString &text) {
    m_marks.append({m_clock ? m_clock() : QDateTime::currentDateTime(), text});
}

void LiveSampler::readSwitchPoints(DeviceProtocol &protocol) {
    if (protocol.ended())
        return;
    m_switchPoint1 = protocol.DeviceQueryNumber(QStringLiteral("al1ma"));
    if (protocol.ended())
        return;
    m_switchPoint2 = protocol.DeviceQueryNumber(QStringLiteral("al2ma"));
}

bool LiveSampler::calibrate(DeviceProtocol &protocol) {
    if (!m_strainGauge || protocol.ended())
        return false;
    const auto [withResistor, withoutResistor] = protocol.ReadWithCalibration(true);
    if (!HasValue(withResistor) || !HasValue(withoutResistor))
        return false;
    m_correction = (withResistor - withoutResistor) * CalibrationFactor;
    m_calibrated = true;
    return true;
}

std::optional<LiveSample> LiveSampler::cycle(DeviceProtocol &protocol) {
    if (protocol.ended())
        return std::nullopt;
    const double input = protocol.DeviceQueryNumber(QStringLiteral("mvv0"));
    if (protocol.ended())
        return std::nullopt;
    const double output = protocol.DeviceQueryNumber(QStringLiteral("mas"));
    if (protocol.ended())
        return std::nullopt;
    const double relays = protocol.DeviceQueryNumber(QStringLiteral("P2"));
    if (!HasValue(input) || !HasValue(output)) {
        if (!m_inGap && !protocol.ended())
            addMark(QString::fromUtf8(GapMark));
        m_inGap = true;
        return std::nullopt;
    }
    m_inGap = false;
    LiveSample sample;
    sample.time = m_clock ? m_clock() : QDateTime::currentDateTime();
    sample.input = m_strainGauge ? input - m_correction : input;
    sample.output = output;
    if (HasValue(relays))
        sample.relayBits = NearestInt(relays);
    m_samples.append(sample);
    return sample;
}

QString LiveSampler::inputText(double input) const {
    return m_strainGauge ? FormatFixed(input, 5, 3) + QLatin1String("mV/V")
                         : FormatFixed(input, 5, 2) + QLatin1String("mA");
}

QString LiveSampler::outputText(double output) {
    return FormatFixed(output, 5, 2) + QLatin1String("mA");
}

QByteArray LiveSampler::csv() const {
    const QLatin1String lineEnd("\r\n");
    // The unit in the label's cell, the number alone in its own, as in the data columns.
    const auto switchPoint = [](double value) {
        return HasValue(value) ? FormatFixed(value, 5, 2) : QString();
    };
    // The F.Nr as a text formula: a spreadsheet keeps its leading zeros.
    const QStringList head{
        QStringLiteral("Typ;") + m_type,
        QStringLiteral("F.Nr;=\"") + m_serialNumber + QLatin1Char('"'),
        QStringLiteral("SP1 (mA);") + switchPoint(m_switchPoint1),
        QStringLiteral("SP2 (mA);") + switchPoint(m_switchPoint2),
        QStringLiteral("Beginn;") +
            (m_samples.isEmpty() ? QString() : csvTime(m_samples.first().time)),
    };
    QString text = head.join(lineEnd) + lineEnd + lineEnd;
    text += QLatin1String(m_strainGauge ? CsvHeaderStrainGauge : CsvHeaderCurrent);
    text += lineEnd;
    qsizetype mark = 0;
    const auto marksUpTo = [&](const QDateTime &time) {
        for (; mark < m_marks.size() && (!time.isValid() || m_marks.at(mark).time <= time); ++mark)
            text += csvTime(m_marks.at(mark).time) + QStringLiteral(";;;;;") +
                    m_marks.at(mark).text + lineEnd;
    };
    for (const LiveSample &sample : m_samples) {
        marksUpTo(sample.time);
        const QStringList cells{
            csvTime(sample.time),
            FormatFixed(sample.input, 5, m_strainGauge ? 3 : 2),
            FormatFixed(sample.output, 5, 2),
            relayCell(sample.relayBits, 1),
            relayCell(sample.relayBits, 2),
            QString(),
        };
        text += cells.join(QLatin1Char(';')) + lineEnd;
    }
    marksUpTo(QDateTime());
    return text.toUtf8();
}
