#include "core/system/datafolder.h"

#include <QDir>
#include <QStandardPaths>

QString DataFolder() {
#ifndef Q_OS_WIN
    if (!QDir::isAbsolutePath(qEnvironmentVariable("XDG_DATA_HOME")) &&
        qEnvironmentVariable("HOME").isEmpty())
        return {};
#endif
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/vtk290");
}
