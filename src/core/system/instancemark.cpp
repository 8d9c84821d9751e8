#include "core/system/instancemark.h"

#include <QCoreApplication>
#include <QDir>
#include <QStandardPaths>
#include <QUuid>

namespace {
const QLatin1String MarkPrefix("vtk290-");
const QLatin1String MarkSuffix(".lock");
} // namespace

QString InstanceMark::defaultFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (folder.isEmpty())
        folder = QDir::tempPath();
    return folder + QLatin1String("/vtk290-instances");
}

InstanceMark::InstanceMark(const QString &folder)
    : m_folder(folder) {}

InstanceMark::~InstanceMark() = default;

bool InstanceMark::acquireAndCheckOthers() {
    QDir dir(m_folder);
    if (!dir.mkpath(QStringLiteral(".")))
        return false;
    if (!m_own) {
        const QString name = MarkPrefix + QString::number(QCoreApplication::applicationPid()) +
                             QLatin1Char('-') + QUuid::createUuid().toString(QUuid::Id128).left(8) +
                             MarkSuffix;
        m_own = std::make_unique<QLockFile>(dir.filePath(name));
        // Only a dead owner makes a mark stale, however long a copy runs.
        m_own->setStaleLockTime(0);
        if (!m_own->tryLock(0)) {
            m_own.reset();
            return false;
        }
    }
    bool othersRun = false;
    const QStringList marks =
        dir.entryList({MarkPrefix + QLatin1Char('*') + MarkSuffix}, QDir::Files);
    for (const QString &mark : marks) {
        const QString path = dir.filePath(mark);
        if (path == m_own->fileName())
            continue;
        QLockFile other(path);
        other.setStaleLockTime(0);
        // Taking the lock succeeds only when its owner is gone; then the stale mark goes too.
        if (other.tryLock(0)) {
            other.unlock();
            QFile::remove(path);
        } else if (other.error() == QLockFile::LockFailedError) {
            othersRun = true;
        }
    }
    return othersRun;
}
