#pragma once

#include <QDateTime>
#include <QList>
#include <QString>

// Keeps the device's setup as a setup file before a write replaces it: its setup print is stored as
// KT290-<F.Nr>-<yyyyMMdd-HHmmss>.txt in the backup folder. Both the window and the command line
// make their backups here.
class SetupBackup final {
public:
    struct Result {
        QString path;          // the file written
        QString error;         // why no backup was made (German); empty on success
        bool noAnswer = false; // the device gave no setup
    };

    // One backup in the folder, as its name and content tell.
    struct Entry {
        QString path;
        QDateTime time;
        QString serialNumber; // "0042"; empty when the name gives none
        QString typeText;     // the device's type; empty when the backup does not name it
    };

    // $XDG_DATA_HOME/vtk290/backups, by default ~/.local/share/vtk290/backups; empty when there
    // is no data folder to use (neither XDG_DATA_HOME nor HOME set).
    static QString folder();
    // Why no backup can be written now (German): no data folder, or the backup folder cannot be
    // made or written. Empty when backups can be written; the folder is made if missing.
    static QString folderProblem();
    static QString fileName(const QString &serialNumber, const QDateTime &time);
    // The F.Nr a backup's file name gives ("0042"); empty for a name that is not a backup's.
    static QString serialNumberOf(const QString &path);

    // Stores a device's setup print; a type text given is kept in the file as "Gerätetyp".
    static Result store(const QString &setupPrint, const QDateTime &time,
                        const QString &typeText = {});
    // The backups in the folder, newest first; only those of one F.Nr when one is given.
    static QList<Entry> list(const QString &serialNumber = {});
};
