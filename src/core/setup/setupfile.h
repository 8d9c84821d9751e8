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
    static QByteArray encode(const QStringList &lines);
    // A byte-order mark selects UTF-8 or UTF-16 and is dropped; without one the bytes are
    // Windows-1252. Line ends become CR LF. Nothing when the bytes are no text.
    static std::optional<QString> decode(const QByteArray &bytes);

    // Reads a text file; whether it holds a setup is for its reader to decide.
    static Loaded load(const QString &path);

    // ".txt" appended to a name whose last part has no extension.
    static QString withDefaultExtension(const QString &path);
};
