#pragma once

#include <QByteArray>
#include <QString>

#include <cstdio>

// The one way both programs write a file: setup files, backups, reports, records, CSV, logs and
// downloads. A save counts only when every write, the flush and the commit succeeded and the
// file reads back as written; an existing file is replaced only then. Qt's own commit is not
// trusted alone: on some versions it reports success after a write that failed for lack of
// space, with the file committed empty.
class FileWriter final {
public:
    // The German reason on failure (without the path), empty on success. A failed save leaves
    // an existing file as it was and no new one.
    static QString save(const QString &path, const QByteArray &bytes);

    // Why no file can be saved at the path now (German, without the path): the folder is
    // missing or in the way, or no file can be made in it. Empty when one can. Checked before
    // work whose result is to be saved, so that the device is not asked in vain.
    static QString problemAt(const QString &path);

    // Writes everything to an open stream and flushes it. The German reason on failure, empty
    // on success; `closedPipe` tells a reader that went away (a pipe closed early), which
    // programs usually end on quietly.
    static QString write(std::FILE *stream, const QByteArray &bytes, bool *closedPipe = nullptr);
};
