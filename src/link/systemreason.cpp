#include "systemreason.h"

#include <QFileInfo>

namespace {

constexpr const char *Missing = "Die Datei oder der Ordner existiert nicht.";
constexpr const char *NoPermission = "Keine Berechtigung.";
constexpr const char *IsFolder = "Ist ein Ordner.";
constexpr const char *NotFolder = "Kein Ordner.";
constexpr const char *ReadFailed = "Die Datei kann nicht gelesen werden.";
constexpr const char *WriteFailed =
    "Die Datei kann nicht geschrieben werden (Datenträger voll oder entfernt?).";
constexpr const char *NoResources = "Zu wenig Speicherplatz oder Systemmittel.";
constexpr const char *Generic = "Der Zugriff auf die Datei ist fehlgeschlagen.";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// The error codes do not tell a missing folder from a locked one or a folder in the file's
// place: the path itself does. Nothing when the path shows no reason.
QString pathReason(const QString &path) {
    const QFileInfo target(path);
    if (target.isDir())
        return text(IsFolder);
    if (target.exists())
        return {};
    const QFileInfo direct(target.absolutePath());
    if (direct.exists())
        return direct.isDir() ? QString() : text(NotFolder);
    // A file where a folder further up the path should be.
    QFileInfo parent(direct.absolutePath());
    while (!parent.exists() && parent.absoluteFilePath() != parent.absolutePath())
        parent.setFile(parent.absolutePath());
    return text(parent.exists() && !parent.isDir() ? NotFolder : Missing);
}

} // namespace

QString GermanFileError(QFileDevice::FileError error, const QString &path) {
    if (error == QFileDevice::NoError)
        return {};
    if (const QString reason = pathReason(path); !reason.isEmpty())
        return reason;
    switch (error) {
    case QFileDevice::OpenError: {
        // A missing file in a folder that cannot be written to is taken as a write refused.
        const QFileInfo target(path);
        if (target.exists() || !QFileInfo(target.absolutePath()).isWritable())
            return text(NoPermission);
        return text(Missing);
    }
    case QFileDevice::PermissionsError:
    case QFileDevice::RenameError:
    case QFileDevice::RemoveError:
    case QFileDevice::CopyError:
        return text(NoPermission);
    case QFileDevice::ReadError:
        return text(ReadFailed);
    case QFileDevice::WriteError:
        return text(WriteFailed);
    case QFileDevice::ResourceError:
        return text(NoResources);
    default:
        return text(Generic);
    }
}

QString GermanFileError(const QFileDevice &file) {
    return GermanFileError(file.error(), file.fileName());
}
