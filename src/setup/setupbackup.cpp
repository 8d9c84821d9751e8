#include "setupbackup.h"

#include "link/allgem.h"
#include "main/deviceconversation.h"
#include "setupfields.h"
#include "setupfile.h"
#include "setuptext.h"

#include <QDir>
#include <QStandardPaths>

namespace {

constexpr const char *NoAnswer = "Das Gerät hat sein Setup nicht gesendet.";
constexpr const char *NoFolder = "Der Ordner %1 kann nicht angelegt werden.";
constexpr const char *NotWritten = "Die Datei %1 kann nicht geschrieben werden: %2";
constexpr const char *UnknownSerial = "unbekannt";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

} // namespace

QString SetupBackup::folder() {
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vtk290/backups");
}

QString SetupBackup::fileName(const QString &serialNumber, const QDateTime &time) {
    return QStringLiteral("KT290-%1-%2.txt")
        .arg(serialNumber.isEmpty() ? text(UnknownSerial) : serialNumber,
             time.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

SetupBackup::Result SetupBackup::make(DeviceConversation &conversation, const QDateTime &time) {
    const std::optional<QString> print = conversation.readSetup();
    if (!print || conversation.lastOperationStopped())
        return {{}, text(NoAnswer), true};
    return store(*print, time);
}

SetupBackup::Result SetupBackup::store(const QString &setupPrint, const QDateTime &time) {
    if (!SetupTextAccepted(setupPrint))
        return {{}, text(NoAnswer), true};
    QString serial;
    if (const std::optional<std::int32_t> number =
            NearestInt(ParseKeyValue(QStringLiteral("Fabrikatationsnr"), setupPrint)))
        serial = QString::number(*number).rightJustified(4, QLatin1Char('0'));
    const QString dir = folder();
    if (!QDir().mkpath(dir))
        return {{}, text(NoFolder).arg(QDir::toNativeSeparators(dir))};
    const QString path = dir + QLatin1Char('/') + fileName(serial, time);
    const QString error = SetupFile::save(
        path, SetupFile::encode(SetupFile::lines(SetupFieldsFromText(setupPrint), time)));
    if (!error.isEmpty())
        return {{}, text(NotWritten).arg(QDir::toNativeSeparators(path), error)};
    return {path, {}};
}
