#pragma once

#include "core/setup/setupfields.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

// The setup text file: ten labelled lines in the manner of the device's setup print, CR LF after
// every line, Windows-1252 without byte-order mark.
class SetupFile final {
public:
    // Files beyond this size are no setup files and are not read.
    static constexpr qint64 MaxBytes = 1024 * 1024;

    struct Loaded {
        QString text;  // with CR LF line ends
        QString error; // the reason the file was refused; empty on success
    };

    static QStringList lines(const SetupFields &fields, const QDateTime &savedAt);
    // The file's bytes: a text file as every other the programs write (TextFile).
    static QByteArray encode(const QStringList &lines);

    // Reads a text file; whether it holds a setup is for its reader to decide.
    static Loaded load(const QString &path);
};
