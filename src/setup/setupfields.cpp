#include "setupfields.h"

#include "link/allgem.h"
#include "setuptext.h"

namespace {

// The device takes a moment to store each value before the next command.
constexpr double StorePause = 0.2;

constexpr const char *ZeroCentres[] = {"-0.5", "-0.25", "0.0", "0.25", "0.5"};
constexpr int ZeroCentreDefault = 2;

QString polarity(bool deEnergised) {
    return QLatin1String(deEnergised ? "0" : "1");
}

} // namespace

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
