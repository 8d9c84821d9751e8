#include "core/setup/setupfields.h"

#include "core/link/allgem.h"
#include "core/setup/setuptext.h"

#include <algorithm>
#include <limits>

namespace {

constexpr double MinimumSetupVersion = 3.0;

// The device takes a moment to store each value before the next command.
constexpr double StorePause = 0.2;

constexpr const char *ZeroCentres[] = {"-0.5", "-0.25", "0.0", "0.25", "0.5"};
constexpr int ZeroCentreDefault = 2;

QString polarity(bool deEnergised) {
    return QLatin1String(deEnergised ? "0" : "1");
}

// The items of the dialogs' lists.
constexpr const char *HysteresisItems[] = {"0,0 mA", "0,1 mA", "0,5 mA", "1,0 mA", "2,0 mA"};
constexpr const char *VPotiLeftItems[] = {"2,5 mV/V", "2,0 mV/V", "1,5 mV/V", "1,0 mV/V"};
constexpr const char *VPotiRightItems[] = {"0,5 mV/V", "0,83 mV/V", "1,0 mV/V", "1,5 mV/V"};
constexpr const char *ZeroRanges[] = {"-1,00 … 0,00 mV/V", "-0,75 … +0,25 mV/V",
                                      "-0,50 … +0,50 mV/V", "-0,25 … +0,75 mV/V",
                                      "0,00 … +1,00 mV/V"};
constexpr const char *DirectionNames[] = {"Zug", "Druck/Zug", "Druck"};
constexpr const char *PolarityNames[] = {"erregt", "stromlos"};
constexpr const char *OnOff[] = {"aus", "ein"};
constexpr const char *NoValueText = "(ohne Wert)";

template <std::size_t N> QString listItem(const char *const (&items)[N], const QString &text) {
    for (const char *item : items) {
        if (text == QString::fromUtf8(item))
            return text;
    }
    return {};
}

template <std::size_t N> QString itemName(const char *const (&names)[N], int index) {
    return index >= 0 && index < int(N) ? QString::fromUtf8(names[index])
                                        : QString::fromUtf8(NoValueText);
}

QString shown(const QString &item) {
    return item.isEmpty() ? QString::fromUtf8(NoValueText) : item;
}

} // namespace

bool SetupTextAccepted(const QString &text) {
    return ParseKeyValue(QStringLiteral("Version"), text) >= MinimumSetupVersion &&
           ParseKeyValue(QStringLiteral(" Sicherheitsmodus"), text) >= 0.0;
}

SetupFields SetupFieldsFromText(const QString &text) {
    SetupFields fields;
    fields.safetyMode = ParseKeyValue(QStringLiteral("Sicherheitsmodus"), text) > 0.5;
    // The safety mode needs both relays de-energised above their switch points.
    fields.relay1DeEnergised =
        fields.safetyMode || ParseKeyValue(QStringLiteral("Relais1pol"), text) < 0.5;
    fields.relay2DeEnergised =
        fields.safetyMode || ParseKeyValue(QStringLiteral("Relais2pol"), text) < 0.5;
    const auto hysteresis = [&text](const char *key) {
        const double value = ParseKeyValue(QLatin1String(key), text);
        return listItem(HysteresisItems, FormatFixed(value, 15, 1) + QStringLiteral(" mA"));
    };
    fields.hysteresis1Item = hysteresis("Alarm1hysterese");
    fields.hysteresis2Item = hysteresis("Alarm2hysterese");

    const double left = ParseKeyValue(QStringLiteral("20mA Poti links"), text);
    const double right = ParseKeyValue(QStringLiteral("20mA Poti rechts"), text);
    fields.vPotiLeftItem =
        listItem(VPotiLeftItems, FormatFixed(left, 15, 1) + QStringLiteral(" mV/V"));
    // The device keeps the right end's 0.83 as 0.8333, which the list shows as "0,83".
    const QString rightNumber =
        right > 0.8 && right < 0.84 ? QStringLiteral("0,83") : FormatFixed(right, 15, 1);
    fields.vPotiRightItem = listItem(VPotiRightItems, rightNumber + QStringLiteral(" mV/V"));

    fields.zeroIndex = -1;
    if (const std::optional<std::int32_t> hundredths =
            NearestInt(100.0 * ParseKeyValue(QStringLiteral("Nullpotimitte"), text))) {
        // Truncated toward zero, as the device's key codes are counted: 0.1 still gives item 2.
        const qint64 item = (qint64(*hundredths) + 50) / 25;
        if (item >= 0 && item < qint64(std::size(ZeroCentres)))
            fields.zeroIndex = int(item);
    }
    fields.pressureIndex = -1;
    if (const std::optional<std::int32_t> direction =
            NearestInt(ParseKeyValue(QStringLiteral("Druckrichtung"), text))) {
        // A direction beyond the last item takes the last item, as the radio group does; one
        // whose item number fits no integer takes none.
        const qint64 item = qint64(*direction) + 1;
        if (item >= 0 && item <= std::numeric_limits<int>::max())
            fields.pressureIndex = int(std::min<qint64>(item, std::size(DirectionNames) - 1));
    }
    return fields;
}

SetupFields DefaultSetupFields() {
    SetupFields fields;
    fields.relay1DeEnergised = true;
    fields.relay2DeEnergised = true;
    fields.hysteresis1Item = QString::fromUtf8(HysteresisItems[0]);
    fields.hysteresis2Item = QString::fromUtf8(HysteresisItems[0]);
    fields.safetyMode = false;
    fields.pressureIndex = 2;
    fields.zeroIndex = ZeroCentreDefault;
    fields.vPotiLeftItem = QString::fromUtf8(VPotiLeftItems[1]);
    fields.vPotiRightItem = QString::fromUtf8(VPotiRightItems[1]);
    return fields;
}

SetupFields ClearedSetupFields() {
    SetupFields fields;
    fields.relay1DeEnergised = false;
    fields.relay2DeEnergised = false;
    fields.safetyMode = false;
    fields.pressureIndex = -1;
    fields.zeroIndex = -1;
    return fields;
}

QString SetupSerialNumber(const QString &text) {
    const std::optional<std::int32_t> number =
        NearestInt(ParseKeyValue(QStringLiteral("Fabrikatationsnr"), text));
    return number ? QString::number(*number).rightJustified(4, QLatin1Char('0')) : QString();
}

QList<QPair<QString, QString>> SetupRows(const SetupFields &fields, bool strainGauge) {
    QList<QPair<QString, QString>> rows{
        {QStringLiteral("Relais 1 oberhalb SP1"),
         itemName(PolarityNames, fields.relay1DeEnergised)},
        {QStringLiteral("Relais 2 oberhalb SP2"),
         itemName(PolarityNames, fields.relay2DeEnergised)},
        {QStringLiteral("Hysterese Relais 1 / SP1"), shown(fields.hysteresis1Item)},
        {QStringLiteral("Hysterese Relais 2 / SP2"), shown(fields.hysteresis2Item)},
        {QStringLiteral("Sicherheitsmodus"), itemName(OnOff, fields.safetyMode)},
    };
    if (!strainGauge)
        return rows;
    rows << qMakePair(QStringLiteral("V - Poti links"), shown(fields.vPotiLeftItem))
         << qMakePair(QStringLiteral("V - Poti rechts"), shown(fields.vPotiRightItem))
         << qMakePair(QStringLiteral("0 - Poti"), itemName(ZeroRanges, fields.zeroIndex))
         << qMakePair(QStringLiteral("Funktion (Zug/Druck)"),
                      itemName(DirectionNames, fields.pressureIndex));
    return rows;
}

QList<SetupDifference> SetupDifferences(const SetupFields &from, const SetupFields &to,
                                        bool strainGauge) {
    const QList<QPair<QString, QString>> before = SetupRows(from, strainGauge);
    const QList<QPair<QString, QString>> after = SetupRows(to, strainGauge);
    QList<SetupDifference> differences;
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (before.at(i).second != after.at(i).second)
            differences << SetupDifference{before.at(i).first, before.at(i).second,
                                           after.at(i).second};
    }
    return differences;
}

QString ItemNumber(const QString &itemText) {
    return ExtractNumber(CommaToPoint(itemText));
}

QString PressureArgument(int pressureIndex) {
    return QString::number(pressureIndex < 0 ? -2 : pressureIndex - 1);
}

QString ZeroCentreArgument(int zeroIndex) {
    const int count = int(std::size(ZeroCentres));
    return QLatin1String(
        ZeroCentres[zeroIndex >= 0 && zeroIndex < count ? zeroIndex : ZeroCentreDefault]);
}

QStringList MissingSetupFields(const SetupFields &fields, bool strainGauge) {
    QStringList missing;
    if (fields.hysteresis1Item.isEmpty())
        missing << QStringLiteral("Hysterese Relais 1 / SP1");
    if (fields.hysteresis2Item.isEmpty())
        missing << QStringLiteral("Hysterese Relais 2 / SP2");
    if (!strainGauge)
        return missing;
    if (fields.vPotiLeftItem.isEmpty())
        missing << QStringLiteral("V - Poti links");
    if (fields.vPotiRightItem.isEmpty())
        missing << QStringLiteral("V - Poti rechts");
    if (fields.zeroIndex < 0)
        missing << QStringLiteral("0 - Poti");
    if (fields.pressureIndex < 0)
        missing << QStringLiteral("Funktion (Zug/Druck)");
    return missing;
}

QList<SetupCommand> SetupCommands(const SetupFields &fields, bool strainGauge) {
    QList<SetupCommand> commands{
        {QStringLiteral("R1POL ") + polarity(fields.relay1DeEnergised), StorePause},
        {QStringLiteral("R2POL ") + polarity(fields.relay2DeEnergised), StorePause},
        {QStringLiteral("al1hy ") + ItemNumber(fields.hysteresis1Item), StorePause},
        {QStringLiteral("al2hy ") + ItemNumber(fields.hysteresis2Item), StorePause},
    };
    if (strainGauge) {
        commands
            << SetupCommand{QStringLiteral("druck ") + PressureArgument(fields.pressureIndex), 0.0}
            << SetupCommand{QStringLiteral("vpoa ") + ItemNumber(fields.vPotiLeftItem), StorePause}
            << SetupCommand{QStringLiteral("vpoe ") + ItemNumber(fields.vPotiRightItem), StorePause}
            << SetupCommand{QStringLiteral("nullpo ") + ZeroCentreArgument(fields.zeroIndex),
                            StorePause};
    }
    commands << SetupCommand{QStringLiteral("sich ") + QLatin1String(fields.safetyMode ? "1" : "0"),
                             0.0};
    return commands;
}

QList<SetupListField> SetupListFields(const QString &text) {
    const auto numbers = [](const auto &items) {
        QStringList allowed;
        for (const char *item : items)
            allowed << ItemNumber(QString::fromUtf8(item));
        return allowed;
    };
    QStringList zeroCentres;
    for (const char *centre : ZeroCentres)
        zeroCentres << QLatin1String(centre);
    QStringList directions;
    for (int i = 0; i < int(std::size(DirectionNames)); ++i)
        directions << PressureArgument(i);
    QList<SetupListField> fields{
        {QStringLiteral("Hysterese Relais 1 / SP1"), QStringLiteral("Alarm1hysterese"),
         numbers(HysteresisItems), false},
        {QStringLiteral("Hysterese Relais 2 / SP2"), QStringLiteral("Alarm2hysterese"),
         numbers(HysteresisItems), false},
        {QStringLiteral("V - Poti links"), QStringLiteral("20mA Poti links"),
         numbers(VPotiLeftItems), true},
        {QStringLiteral("V - Poti rechts"), QStringLiteral("20mA Poti rechts"),
         numbers(VPotiRightItems), true},
        {QStringLiteral("0 - Poti"), QStringLiteral("Nullpotimitte"), zeroCentres, true},
        {QStringLiteral("Funktion (Zug/Druck)"), QStringLiteral("Druckrichtung"), directions, true},
    };
    for (SetupListField &field : fields)
        field.value = ParseKeyValue(field.key, text);
    return fields;
}

namespace {

constexpr const char *WithoutValue = "%1 (%2): ohne Wert; erlaubt sind %3.";
constexpr const char *OutsideList = "%1 (%2): %3 ist nicht erlaubt; erlaubt sind %4.";
constexpr const char *ReplacedValue =
    "Warnung: %1 (%2): %3 ist nicht erlaubt (erlaubt sind %4); geschrieben wird %5, wie das "
    "Fenster es wählt.";

// A value as the setup text gives it: the number with its decimal point.
QString rawValue(double value) {
    return QString::number(value, 'g', 12);
}

} // namespace

SetupTextCheck CheckSetupText(const QString &text, const SetupFields &fields, bool strainGauge) {
    SetupTextCheck check;
    const QStringList missing = MissingSetupFields(fields, strainGauge);
    for (const SetupListField &field : SetupListFields(text)) {
        if (field.strainGaugeOnly && !strainGauge)
            continue;
        const double value = field.value;
        const QString allowed = field.allowed.join(QStringLiteral(", "));
        if (missing.contains(field.field)) {
            check.refusals
                << (HasValue(value)
                        ? QString::fromUtf8(OutsideList)
                              .arg(field.field, field.key, rawValue(value), allowed)
                        : QString::fromUtf8(WithoutValue).arg(field.field, field.key, allowed));
            continue;
        }
        // A value that gives an item without being one: the window's radio group takes the
        // last item for a direction beyond it.
        if (HasValue(value) && field.key == QLatin1String("Druckrichtung") &&
            !field.allowed.contains(rawValue(value)) &&
            !field.allowed.contains(QString::number(NearestInt(value).value_or(0))))
            check.warnings << QString::fromUtf8(ReplacedValue)
                                  .arg(field.field, field.key, rawValue(value), allowed,
                                       PressureArgument(fields.pressureIndex));
    }
    return check;
}
