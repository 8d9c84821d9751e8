#include "core/device/devicereadout.h"

#include "core/link/allgem.h"
#include "core/link/deviceprotocol.h"
#include "core/link/ucom.h"

namespace {

// The calibration resistor raises the bridge signal by a known share; the difference of the
// two readings corrects the reading without it.
constexpr double CalibrationFactor = 0.22;

struct TypeInfo {
    const char *text;
    bool strainGaugePanel;
    bool currentPanel;
};
constexpr TypeInfo TypeX1{"KT 290.X1 - DMS-Schaltverstärker", true, false};
constexpr TypeInfo TypeX2{"KT 290.X2 - Strom-Schaltverstärker", false, true};
constexpr TypeInfo Type03{"KT 290.03", false, false};
constexpr TypeInfo Type01{"KT 290.01 - DMS-Schaltverstärker", true, false};
constexpr TypeInfo Type02{"KT 290.02 - Strom-Schaltverstärker", false, true};

constexpr const char *DeviceErrors[] = {
    " Fehler 1: Brückenwiderstand zu klein ",    " Fehler 2: Brückenwiderstand zu groß ",
    " Fehler 3: Brückensignal überschritten ",   " Fehler 4: Brückensignal unterschritten ",
    " Fehler 5: Brückenmittenspannung zu groß ", " Fehler 6: Brückenmittenspannung zu klein ",
};
constexpr const char *UnknownError = " unbekannter Fehler ";

void setType(ReadoutView &view, const TypeInfo &type) {
    view.typeText = QString::fromUtf8(type.text);
    view.showStrainGaugePanel = type.strainGaugePanel;
    view.showCurrentPanel = type.currentPanel;
    view.strainGauge = type.strainGaugePanel;
}

// Removes blanks and control characters from the start.
QString trimStart(const QString &text) {
    qsizetype i = 0;
    while (i < text.size() && text.at(i).unicode() <= 32)
        ++i;
    return text.mid(i);
}

std::optional<int> code(double value) {
    return HasValue(value) ? NearestInt(value) : std::nullopt;
}

} // namespace

DeviceReadout::DeviceReadout(DeviceProtocol &protocol, Progress progress)
    : m_protocol(protocol)
    , m_progress(std::move(progress)) {}

ReadoutView DeviceReadout::run() {
    ReadoutView view;
    readType(view);
    report(view);
    readIdentity(view);
    readInput(view);
    report(view);
    readOutputs(view);
    return view;
}

void DeviceReadout::report(const ReadoutView &view) const {
    if (m_progress)
        m_progress(view);
}

// A device that vanished mid-way, or a read-out asked to stop, asks nothing more: the read-out
// ends with what it has.
bool DeviceReadout::deviceGone() const {
    return m_protocol.ended();
}

void DeviceReadout::readType(ReadoutView &view) {
    const double inputKind = m_protocol.DeviceQueryNumber(QStringLiteral("inpmv"));
    if (HasValue(inputKind)) {
        if (inputKind == 1.0)
            setType(view, TypeX1);
        else if (m_protocol.DeviceQueryNumber(QStringLiteral("inpv")) == 0.0)
            setType(view, TypeX2);
        else
            setType(view, Type03);
        return;
    }
    if (deviceGone())
        return;
    // Older devices do not know "inpmv"; their parameter word tells the model.
    if (const std::optional<int> p0 = code(m_protocol.DeviceQueryNumber(QStringLiteral("p0"))))
        setType(view, (*p0 & 2) ? Type01 : Type02);
}

void DeviceReadout::readSerial(ReadoutView &view) {
    view.serialValue = code(m_protocol.DeviceQueryNumber(QStringLiteral("fnr")));
    if (const std::optional<int> serial = view.serialValue)
        view.serialNumber = QString::number(*serial).rightJustified(4, QLatin1Char('0'));
}

void DeviceReadout::readVersions(const QString &answer, ReadoutView &view) {
    static const QLatin1String Sw("SW-Version");
    static const QLatin1String Hw("HW-Version");
    const qsizetype sw = answer.indexOf(Sw);
    if (sw < 0)
        return;
    QString rest = trimStart(answer.mid(sw + Sw.size()));
    const qsizetype cr = rest.indexOf(QLatin1Char('\r'));
    if (cr < 0)
        return;
    view.swVersion = TrimControl(rest.left(cr + 1));
    rest.remove(0, cr + 1);
    const qsizetype hw = rest.indexOf(Hw);
    if (hw >= 0)
        view.hwVersion = TrimControl(rest.mid(hw + Hw.size()));
}

QString DeviceReadout::errorText(int errorCode) {
    if (errorCode >= 1 && errorCode <= int(std::size(DeviceErrors)))
        return QString::fromUtf8(DeviceErrors[errorCode - 1]);
    return QString::fromUtf8(UnknownError);
}

void DeviceReadout::readIdentity(ReadoutView &view) {
    if (deviceGone())
        return;
    readVersions(m_protocol.DeviceQuery(QStringLiteral("ver")), view);
    report(view);

    if (deviceGone())
        return;
    readSerial(view);
    report(view);

    if (deviceGone())
        return;
    const double lock = m_protocol.DeviceQueryNumber(QStringLiteral("tasp"));
    if (HasValue(lock)) {
        view.setupLock = lock >= 0.5 ? QStringLiteral("ein") : QStringLiteral("aus");
        view.setupLockHint = lock >= 0.5;
        view.setupLocked = lock >= 0.5;
    }
    report(view);

    if (deviceGone())
        return;
    const double error = m_protocol.DeviceQueryNumber(QStringLiteral("fehl"));
    if (HasValue(error))
        view.errorCode = error > 0 ? NearestInt(error) : 0;
    if (error > 0) {
        if (const std::optional<int> errorCode = NearestInt(error))
            view.errorText = errorText(*errorCode);
    }
    report(view);
}

void DeviceReadout::readInput(ReadoutView &view) {
    if (deviceGone())
        return;
    if (!view.strainGauge) {
        const double current = m_protocol.DeviceQueryNumber(QStringLiteral("mvv0"));
        if (HasValue(current))
            view.inputValue = current;
        if (HasValue(current))
            view.inputCurrentPanel = FormatFixed(current, 5, 2) + QLatin1String("mA");
        return;
    }
    const auto [withResistor, signal] = m_protocol.ReadWithCalibration(true);
    if (!HasValue(withResistor) || !HasValue(signal))
        return;
    const double correction = (withResistor - signal) * CalibrationFactor;
    view.inputValue = signal - correction;
    view.inputStrainGauge = FormatFixed(signal - correction, 5, 3) + QLatin1String("mV/V");
    view.inputCurrentPanel = view.inputStrainGauge;
}

QString DeviceReadout::askMilliamps(const QString &command, std::optional<double> &value) {
    if (deviceGone())
        return {};
    const double answer = m_protocol.DeviceQueryNumber(command);
    if (!HasValue(answer))
        return {};
    value = answer;
    return FormatFixed(answer, 5, 2) + QLatin1String("mA");
}

void DeviceReadout::readOutputs(ReadoutView &view) {
    if (deviceGone())
        return;
    const QString output = askMilliamps(QStringLiteral("mas"), view.outputValue);
    view.output = output.isEmpty() ? ReadoutView::NoOutput : output;
    report(view);
    view.switchPoint1 = askMilliamps(QStringLiteral("al1ma"), view.switchPoint1Value);
    report(view);
    view.switchPoint2 = askMilliamps(QStringLiteral("al2ma"), view.switchPoint2Value);
    report(view);
    if (deviceGone())
        return;
    view.relayBits = code(m_protocol.DeviceQueryNumber(QStringLiteral("P2")));
    report(view);
}

namespace {

QJsonValue jsonText(const QString &value) {
    return value.trimmed().isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value.trimmed());
}

QJsonValue jsonNumber(const std::optional<double> &value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue relayJson(const std::optional<int> &bits, int bit) {
    return bits ? QJsonValue(bool(*bits & bit)) : QJsonValue(QJsonValue::Null);
}

} // namespace

QJsonObject ReadoutJson(const ReadoutView &view) {
    QJsonObject object;
    object[QStringLiteral("type")] = jsonText(view.typeText);
    object[QStringLiteral("hardwareVersion")] = jsonText(view.hwVersion);
    object[QStringLiteral("softwareVersion")] = jsonText(view.swVersion);
    object[QStringLiteral("serialNumber")] =
        view.serialValue ? QJsonValue(*view.serialValue) : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("setupLock")] =
        view.setupLocked ? QJsonValue(*view.setupLocked) : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("errorCode")] =
        view.errorCode ? QJsonValue(*view.errorCode) : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("errorText")] =
        view.errorText ? jsonText(*view.errorText) : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("input")] = jsonNumber(view.inputValue);
    object[QStringLiteral("inputUnit")] =
        view.inputValue
            ? QJsonValue(view.strainGauge ? QStringLiteral("mV/V") : QStringLiteral("mA"))
            : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("output")] = jsonNumber(view.outputValue);
    object[QStringLiteral("sp1")] = jsonNumber(view.switchPoint1Value);
    object[QStringLiteral("sp2")] = jsonNumber(view.switchPoint2Value);
    object[QStringLiteral("relay1Closed")] = relayJson(view.relayBits, 1);
    object[QStringLiteral("relay2Closed")] = relayJson(view.relayBits, 2);
    return object;
}
