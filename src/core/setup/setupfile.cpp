#include "core/setup/setupfile.h"

#include "core/setup/setuptext.h"
#include "core/system/systemreason.h"
#include "core/system/textfile.h"

#include <QFile>

namespace {

// Why a file is not read as a setup.
constexpr const char *TooLarge = "Die Datei ist größer als 1 MiB und keine Setup-Datei.";
constexpr const char *NotText = "Die Datei ist keine Textdatei.";

QString refusal(const char *reason) {
    return QString::fromUtf8(reason);
}

} // namespace

QStringList SetupFile::lines(const SetupFields &fields, const QDateTime &savedAt) {
    const auto polarity = [](bool deEnergised) {
        return QLatin1String(deEnergised ? "0" : "1");
    };
    return {
        QStringLiteral("KT290-Setup"),
        QStringLiteral("gespeichert am ") + savedAt.toString(QStringLiteral("dd.MM.yyyy hh:mm:ss")),
        QStringLiteral(" Version: 3"),
        QStringLiteral(" Alarm1hysterese : ") + ItemNumber(fields.hysteresis1Item) +
            QStringLiteral("   Alarm2hysterese : ") + ItemNumber(fields.hysteresis2Item),
        QStringLiteral(" Relais1polatität: ") + polarity(fields.relay1DeEnergised) +
            QStringLiteral("   Relais2polatität: ") + polarity(fields.relay2DeEnergised),
        QStringLiteral(" Druckrichtung   : ") + PressureArgument(fields.pressureIndex),
        QStringLiteral(" Nullpotimitte   : ") + ZeroCentreArgument(fields.zeroIndex),
        QStringLiteral(" 20mA Poti links : ") + ItemNumber(fields.vPotiLeftItem),
        QStringLiteral(" 20mA Poti rechts: ") + ItemNumber(fields.vPotiRightItem),
        QStringLiteral(" Sicherheitsmodus: ") + QLatin1String(fields.safetyMode ? "1" : "0"),
    };
}

SetupFile::Loaded SetupFile::load(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {{}, GermanFileError(file)};
    if (file.size() > MaxBytes)
        return {{}, refusal(TooLarge)};
    // Read one byte beyond the limit: devices and growing files report no true size.
    const QByteArray bytes = file.read(MaxBytes + 1);
    if (file.error() != QFileDevice::NoError)
        return {{}, GermanFileError(file)};
    if (bytes.size() > MaxBytes)
        return {{}, refusal(TooLarge)};
    const std::optional<QString> text = TextFile::decode(bytes);
    if (!text)
        return {{}, refusal(NotText)};
    return {*text, {}};
}

QByteArray SetupFile::encode(const QStringList &lines) {
    return TextFile::encode(lines);
}
