#pragma once

#include <QFileDevice>
#include <QString>

// Why a file could not be read or written, in German: the reason the system gave, worked out
// from the error and what is at the path (a missing folder, a folder in the way, no permission).

// The reason for the file's last error; empty without error.
QString GermanFileError(const QFileDevice &file);
// The reason for `error` on the file at `path`; empty for NoError.
QString GermanFileError(QFileDevice::FileError error, const QString &path);
// The reason for a system error number (errno) where the program names it better than Qt's error
// kinds do: a full disk, a missing permission, a write-protected medium. Empty for others.
QString GermanErrorNumber(int errorNumber);
