#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QUrl>

#include <optional>

// The update information file of the maker's update server: an INI text whose section and key
// names are compared without regard to letter case, as the Windows INI service does. Knows what
// the server offers for this program and how the files to fetch are named.
class UpdateInfo final {
public:
    static constexpr const char *Section = "KT290Serviceprogramm";
    // Values taken when the key (or the whole section) is missing.
    static constexpr const char *MissingName = ":";
    static constexpr const char *MissingVersion = "-1";
    static constexpr const char *InfoFileName = "update.ini";
    static constexpr const char *UpdaterFileName = "update.exe";
    static constexpr const char *NewProgramExtension = ".ex_";

    // Reads an INI text; a byte order mark chooses UTF-8 or UTF-16, otherwise UTF-8 when the
    // bytes are valid UTF-8 and Windows ANSI (Latin-1) when not.
    static UpdateInfo FromText(const QByteArray &bytes);
    // A file that cannot be read gives an empty information (nothing offered).
    static UpdateInfo FromFile(const QString &path);

    // The value of a key: blanks around it removed and one pair of enclosing quotes stripped;
    // the first section and the first key of a name count.
    std::optional<QString> value(const QString &section, const QString &key) const;

    // "Name", or ":" when missing.
    QString name() const;
    // "Version", or "-1" when missing.
    QString version() const;
    // The optional SHA-256 checksums (hex) of the program file and of the updater; empty when
    // the server gives none.
    QString programSha256() const;
    QString updaterSha256() const;

    // True when the server speaks of a program of exactly this file name (letter case included)
    // and names a version; versions are not compared, the user decides.
    bool offersProgram(const QString &runningFileName) const;

    // The name under which the new program file is fetched and stored: the extension (from the
    // last point on) replaced by ".ex_", or ".ex_" appended to a name without a point.
    static QString NewProgramFileName(const QString &name);

    // The question put to the user before the download.
    static QString QuestionText(const QString &offeredVersion, const QString &currentVersionLine);

    // The server's address of one file: the base address fixed at build time, or the one in the
    // environment variable VTK290_UPDATE_URL, followed by the file name.
    static QUrl ServerUrl(const QString &fileName);

private:
    struct Entry {
        QString key;
        QString value;
    };
    struct SectionEntries {
        QString name;
        QList<Entry> entries;
    };

    static QString decode(const QByteArray &bytes);
    static QString unquote(const QString &value);

    QList<SectionEntries> m_sections;
};
