#include "core/system/filewriter.h"

#include "core/system/systemreason.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStorageInfo>
#include <QTemporaryFile>

#include <cerrno>

namespace {

constexpr const char *NotReadBack = "die Datei enthält nach dem Speichern nicht, was geschrieben "
                                    "wurde";

// The reason for a failed write: the system's error number where it tells more than Qt's
// error kind, and a full disk also where it does not.
QString writeReason(const QFileDevice &file, int errorNumber, qint64 size) {
    if (const QString reason = GermanErrorNumber(errorNumber); !reason.isEmpty())
        return reason;
    const QStorageInfo storage(QFileInfo(file.fileName()).absolutePath());
    if (storage.isValid() && storage.bytesAvailable() < size)
        return GermanErrorNumber(ENOSPC);
    return GermanFileError(file);
}

} // namespace

QString FileWriter::save(const QString &path, const QByteArray &bytes) {
    QSaveFile file(path);
    // Unbuffered: a write that finds no space fails at once, not in a flush whose failure the
    // commit may pass over.
    errno = 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return writeReason(file, errno, 0);
    errno = 0;
    const qint64 written = file.write(bytes);
    const int writeErrno = errno;
    if (written != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        const QString reason = writeReason(file, writeErrno, bytes.size());
        file.cancelWriting();
        return reason;
    }
    errno = 0;
    const bool committed = file.commit();
    if (!committed || file.error() != QFileDevice::NoError)
        return writeReason(file, errno, bytes.size());

    QFile back(path);
    if (!back.open(QIODevice::ReadOnly))
        return GermanFileError(back);
    const QByteArray read = back.read(bytes.size() + 1);
    if (back.error() != QFileDevice::NoError)
        return GermanFileError(back);
    if (read != bytes)
        return QString::fromUtf8(NotReadBack);
    return {};
}

QString FileWriter::problemAt(const QString &path) {
    const QFileInfo info(path);
    if (info.isDir() || !QFileInfo(info.absolutePath()).isDir())
        return GermanFileError(QFileDevice::OpenError, path);
    // Only opening tells: permissions alone say nothing of a write-protected medium. An existing
    // file is opened to append nothing; for a new one a file is made and removed again.
    errno = 0;
    bool opened = false;
    if (info.exists()) {
        QFile existing(path);
        opened = existing.open(QIODevice::WriteOnly | QIODevice::Append);
    } else {
        QTemporaryFile probe(info.absolutePath() + QStringLiteral("/.vtk290-XXXXXX"));
        opened = probe.open();
    }
    if (opened)
        return {};
    const QString reason = GermanErrorNumber(errno);
    return reason.isEmpty() ? GermanFileError(QFileDevice::OpenError, path) : reason;
}

QString FileWriter::write(std::FILE *stream, const QByteArray &bytes, bool *closedPipe) {
    if (closedPipe)
        *closedPipe = false;
    errno = 0;
    const std::size_t written =
        std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    if (written == std::size_t(bytes.size()) && std::fflush(stream) == 0)
        return {};
    const int errorNumber = errno;
    std::clearerr(stream);
    if (closedPipe)
        *closedPipe = errorNumber == EPIPE;
    const QString reason = GermanErrorNumber(errorNumber);
    return reason.isEmpty() ? GermanFileError(QFileDevice::WriteError, {}) : reason;
}
