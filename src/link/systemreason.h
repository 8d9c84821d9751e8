#pragma once

#include <QFileDevice>
#include <QString>

// The system's reason why a file could not be read or written, as a German sentence: the
// windows' boxes and the command line show it instead of the system's English text.
QString GermanFileError(const QFileDevice &file);
QString GermanFileError(QFileDevice::FileError error, const QString &path);
