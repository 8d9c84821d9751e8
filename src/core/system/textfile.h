#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <optional>

// The text files both programs write and read: setup files, backups, reports and logs. Lines
// end in CR LF, the characters are Windows-1252 without byte-order mark, as the tools around
// the device expect.
class TextFile final {
public:
    static QByteArray encode(const QStringList &lines);
    // A byte-order mark selects UTF-8 or UTF-16 and is dropped; without one the bytes are
    // Windows-1252. Line ends become CR LF. Nothing when the bytes are no text.
    static std::optional<QString> decode(const QByteArray &bytes);
    // Saves the lines through the one file writer: the German reason on failure, empty on
    // success.
    static QString save(const QString &path, const QStringList &lines);
    // ".txt" appended to a name whose last part has no extension.
    static QString withDefaultExtension(const QString &path);
};
