#include "core/setup/setupbackup.h"

#include "core/link/allgem.h"
#include "core/setup/setupfields.h"
#include "core/setup/setupfile.h"
#include "core/system/datafolder.h"
#include "core/system/filewriter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {

constexpr const char *NoAnswer = "Das Gerät hat sein Setup nicht gesendet.";
constexpr const char *NoDataFolder =
    "Es gibt keinen Ordner für Sicherungen: weder XDG_DATA_HOME noch HOME ist gesetzt.";
constexpr const char *NoFolder = "Der Ordner %1 kann nicht angelegt werden.";
constexpr const char *FolderNotWritable = "Im Ordner %1 kann nicht geschrieben werden: %2.";
constexpr const char *NotWritten = "Die Datei %1 kann nicht geschrieben werden: %2";
constexpr const char *NotReadBack = "Die Sicherung %1 lässt sich nicht zurücklesen: %2";
constexpr const char *NotTheSetup = "sie enthält nicht das gesicherte Setup";
constexpr const char *UnknownSerial = "unbekannt";
constexpr const char *TypeKey = "Gerätetyp";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

QString native(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// The device's type as a backup names it, after its setup lines; nothing when the file holds no
// setup (then it is no backup, whatever its name).
std::optional<QString> typeInFile(const QString &path) {
    const SetupFile::Loaded loaded = SetupFile::load(path);
    if (!loaded.error.isEmpty() || !SetupTextAccepted(loaded.text))
        return std::nullopt;
    const QString key = QLatin1Char(' ') + text(TypeKey);
    for (const QString &line : loaded.text.split(QStringLiteral("\r\n"))) {
        if (line.startsWith(key))
            return line.section(QLatin1Char(':'), 1).trimmed();
    }
    return QString();
}

// A backup's file name: KT290-<F.Nr or "unbekannt">-<yyyyMMdd-HHmmss>.txt.
const QRegularExpression &backupName() {
    static const QRegularExpression Name(
        QStringLiteral("^KT290-(\\d+|%1)-(\\d{8}-\\d{6})\\.txt$").arg(text(UnknownSerial)));
    return Name;
}

} // namespace

QString SetupBackup::folder() {
    const QString data = DataFolder();
    return data.isEmpty() ? QString() : data + QStringLiteral("/backups");
}

QString SetupBackup::folderProblem() {
    const QString dir = folder();
    if (dir.isEmpty())
        return text(NoDataFolder);
    if (!QDir().mkpath(dir))
        return text(NoFolder).arg(native(dir));
    if (const QString reason = FileWriter::problemAt(dir + QStringLiteral("/KT290.txt"));
        !reason.isEmpty())
        return text(FolderNotWritable).arg(native(dir), reason);
    return {};
}

QString SetupBackup::fileName(const QString &serialNumber, const QDateTime &time) {
    return QStringLiteral("KT290-%1-%2.txt")
        .arg(serialNumber.isEmpty() ? text(UnknownSerial) : serialNumber,
             time.toString(QStringLiteral("yyyyMMdd-HHmmss")));
}

QString SetupBackup::serialNumberOf(const QString &path) {
    const QRegularExpressionMatch match = backupName().match(QFileInfo(path).fileName());
    return match.hasMatch() && match.captured(1) != text(UnknownSerial) ? match.captured(1)
                                                                        : QString();
}

SetupBackup::Result SetupBackup::store(const QString &setupPrint, const QDateTime &time,
                                       const QString &typeText) {
    if (!SetupTextAccepted(setupPrint))
        return {{}, text(NoAnswer), true};
    const QString serial = SetupSerialNumber(setupPrint);
    if (const QString problem = folderProblem(); !problem.isEmpty())
        return {{}, problem};
    const QString path = folder() + QLatin1Char('/') + fileName(serial, time);
    QStringList lines = SetupFile::lines(SetupFieldsFromText(setupPrint), time);
    if (!typeText.isEmpty())
        lines << QLatin1Char(' ') + text(TypeKey) + QStringLiteral("       : ") + typeText;
    const QString error = FileWriter::save(path, SetupFile::encode(lines));
    if (!error.isEmpty())
        return {{}, text(NotWritten).arg(native(path), error)};
    // A backup counts only once it reads back as the setup it keeps; one that does not is
    // removed, so that no list or restore takes it.
    const SetupFile::Loaded stored = SetupFile::load(path);
    if (!stored.error.isEmpty() || !SetupTextAccepted(stored.text) ||
        SetupFieldsFromText(stored.text) != SetupFieldsFromText(setupPrint)) {
        QFile::remove(path);
        return {{},
                text(NotReadBack)
                    .arg(native(path), stored.error.isEmpty() ? text(NotTheSetup) : stored.error)};
    }
    return {path, {}};
}

QList<SetupBackup::Entry> SetupBackup::list(const QString &serialNumber) {
    const QString dir = folder();
    if (dir.isEmpty())
        return {};
    const QRegularExpression &Name = backupName();
    bool wantedOk = false;
    const int wanted = serialNumber.toInt(&wantedOk);
    QList<Entry> entries;
    for (const QFileInfo &info :
         QDir(dir).entryInfoList({QStringLiteral("KT290-*.txt")}, QDir::Files | QDir::Readable)) {
        const QRegularExpressionMatch match = Name.match(info.fileName());
        if (!match.hasMatch())
            continue;
        Entry entry;
        entry.path = info.filePath();
        entry.serialNumber =
            match.captured(1) == text(UnknownSerial) ? QString() : match.captured(1);
        entry.time = QDateTime::fromString(match.captured(2), QStringLiteral("yyyyMMdd-HHmmss"));
        if (!serialNumber.isEmpty()) {
            bool ok = false;
            const int number = entry.serialNumber.toInt(&ok);
            if (!ok || !wantedOk || number != wanted)
                continue;
        }
        const std::optional<QString> type = typeInFile(entry.path);
        if (!type)
            continue;
        entry.typeText = *type;
        entries << entry;
    }
    // Newest first; two of the same second by name.
    std::sort(entries.begin(), entries.end(), [](const Entry &a, const Entry &b) {
        return a.time != b.time ? a.time > b.time : a.path > b.path;
    });
    return entries;
}
