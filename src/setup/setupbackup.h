#pragma once

#include <QDateTime>
#include <QString>

class DeviceConversation;

// Keeps the device's setup as a setup file before a write replaces it: the setup is read ("spr")
// and stored as KT290-<F.Nr>-<yyyyMMdd-HHmmss>.txt in the backup folder. Both the window and the
// command line make their backups here.
class SetupBackup final {
public:
    struct Result {
        QString path;          // the file written
        QString error;         // why no backup was made (German); empty on success
        bool noAnswer = false; // the device gave no setup
    };

    // $XDG_DATA_HOME/vtk290/backups, by default ~/.local/share/vtk290/backups.
    static QString folder();
    static QString fileName(const QString &serialNumber, const QDateTime &time);

    // Reads the connected device's setup and stores it.
    static Result make(DeviceConversation &conversation,
                       const QDateTime &time = QDateTime::currentDateTime());
    // Stores a device's setup print.
    static Result store(const QString &setupPrint, const QDateTime &time);
};
