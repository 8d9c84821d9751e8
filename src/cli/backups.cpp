// backups: the setup backups in the backup folder, the newest first.
#include "cli/clitexts.h"
#include "cli/commands.h"
#include "core/setup/setupbackup.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace Cli {

namespace {

constexpr const char *NoBackups = "Keine Sicherungen in %1.";
constexpr const char *NoBackupsFor = "Keine Sicherungen für F.Nr %1 in %2.";

} // namespace

int Backups(Session &session, const QStringList &operands) {
    const QString serialNumber = operands.value(0);
    const QString folder = SetupBackup::folder();
    if (folder.isEmpty()) {
        err(SetupBackup::folderProblem());
        return BadFile;
    }
    const QList<SetupBackup::Entry> entries = SetupBackup::list(serialNumber);
    if (session.options().json) {
        QJsonArray list;
        for (const SetupBackup::Entry &entry : entries) {
            bool ok = false;
            const int serial = entry.serialNumber.toInt(&ok);
            list << QJsonObject{
                {QStringLiteral("path"), native(entry.path)},
                {QStringLiteral("time"), entry.time.toString(Qt::ISODate)},
                {QStringLiteral("serialNumber"), ok ? QJsonValue(serial) : QJsonValue()},
                {QStringLiteral("type"), jsonText(entry.typeText)},
            };
        }
        outJson(QJsonDocument(list));
    } else {
        for (const SetupBackup::Entry &entry : entries)
            out(QStringLiteral("%1\t%2\t%3\t%4")
                    .arg(entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                         entry.serialNumber.isEmpty() ? text(UnknownType) : entry.serialNumber,
                         entry.typeText.isEmpty() ? text(UnknownType) : entry.typeText,
                         native(entry.path)));
    }
    if (entries.isEmpty())
        err(serialNumber.isEmpty() ? text(NoBackups).arg(native(folder))
                                   : text(NoBackupsFor).arg(serialNumber, native(folder)));
    return Done;
}

} // namespace Cli
