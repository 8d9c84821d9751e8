#include "core/system/systemreason.h"

#include <QDir>
#include <QFileInfo>

#include <cerrno>

namespace {

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// The file could not be opened: what stands in the way at its path.
QString openReason(const QString &path) {
    const QFileInfo info(path);
    if (info.isDir())
        return text("%1 ist ein Ordner").arg(QDir::toNativeSeparators(path));
    const QFileInfo folder(info.absolutePath());
    if (!folder.exists())
        return text("den Ordner %1 gibt es nicht").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!folder.isDir())
        return text("%1 ist kein Ordner").arg(QDir::toNativeSeparators(folder.filePath()));
    if (!info.exists())
        return folder.isWritable() ? text("die Datei gibt es nicht")
                                   : text("die Datei gibt es nicht, und im Ordner %1 darf "
                                          "nicht geschrieben werden")
                                         .arg(QDir::toNativeSeparators(folder.filePath()));
    if (!info.isReadable() || !info.isWritable())
        return text("keine Berechtigung");
    return text("die Datei kann nicht geöffnet werden");
}

} // namespace

QString GermanFileError(const QFileDevice &file) {
    return GermanFileError(file.error(), file.fileName());
}

QString GermanFileError(QFileDevice::FileError error, const QString &path) {
    if (error == QFileDevice::NoError)
        return {};
    // A folder in the way makes writing fail late (a save file is renamed onto it).
    if (QFileInfo(path).isDir())
        return openReason(path);
    switch (error) {
    case QFileDevice::NoError:
        return {};
    case QFileDevice::OpenError:
        return openReason(path);
    case QFileDevice::ReadError:
        return text("Lesefehler");
    case QFileDevice::WriteError:
        return text("Schreibfehler (Datenträger voll oder entfernt?)");
    case QFileDevice::FatalError:
        return text("schwerer Fehler des Dateisystems");
    case QFileDevice::ResourceError:
        return text("zu wenig Speicher oder zu viele offene Dateien");
    case QFileDevice::AbortError:
        return text("der Vorgang wurde abgebrochen");
    case QFileDevice::TimeOutError:
        return text("Zeitüberschreitung");
    case QFileDevice::RemoveError:
        return text("die Datei kann nicht gelöscht werden");
    case QFileDevice::RenameError:
        return text("die Datei kann nicht umbenannt werden");
    case QFileDevice::PositionError:
        return text("die Position in der Datei ist nicht erreichbar");
    case QFileDevice::ResizeError:
        return text("die Größe der Datei kann nicht geändert werden");
    case QFileDevice::PermissionsError:
        return text("die Rechte der Datei können nicht gesetzt werden");
    case QFileDevice::CopyError:
        return text("die Datei kann nicht kopiert werden");
    case QFileDevice::UnspecifiedError:
        break;
    }
    return text("unbekannter Fehler");
}

QString GermanErrorNumber(int errorNumber) {
    switch (errorNumber) {
    case ENOSPC:
    case EFBIG:
        return text("kein Platz mehr auf dem Datenträger");
    case EACCES:
    case EPERM:
        return text("keine Berechtigung");
    case EROFS:
        return text("der Datenträger ist schreibgeschützt");
    case EIO:
        return text("Ein-/Ausgabefehler des Datenträgers");
    default:
        return {};
    }
}
