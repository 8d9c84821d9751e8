#pragma once

#include "core/setup/setupfields.h"

#include <QDateTime>
#include <QObject>
#include <QString>

#include <functional>
#include <optional>

class CurrentSetup;
class DeviceConversation;

// Moves the setup the program holds between the device, setup files and backups. Both front
// ends run these steps and tell their user what came of them; the questions a write may ask
// are put to the front end between two operations, never while the device is being talked to.
class SetupTransfer final : public QObject {
    Q_OBJECT

public:
    SetupTransfer(DeviceConversation &conversation, CurrentSetup &setup, QObject *parent = nullptr);

    enum class Result {
        Done,
        Refused,         // another operation runs or no device is connected: nothing was sent
        Stopped,         // stopped by "Trennen" or the program's end
        NoSetup,         // the device's answer or the file holds no setup
        FileError,       // the file could not be read or written (fileError tells why)
        Incomplete,      // a field has no value (missingFields): nothing was written
        Unchanged,       // compared first: the device has this setup already, nothing was written
        Declined,        // the user did not want it written
        CutOff,          // the port was lost in the middle of the write (lastWrite in the
                         // conversation tells how far it came)
        Failed,          // the write ended without the device's confirmation
        NotReadBack,     // written and stored, but the device did not send its setup back
        ReadBackDiffers, // written and stored, but the device holds another setup
                         // (readBackDifferences)
    };
    Q_ENUM(Result)

    // Whether the window's writes first compare with the device's setup and ask (remembered by
    // the window program between runs).
    bool compareBeforeWrite() const { return m_compareBeforeWrite; }
    void setCompareBeforeWrite(bool compare) { m_compareBeforeWrite = compare; }

    // Reads the device's setup into the held one. The values are taken away first, so a read
    // that fails leaves nothing of an older setup behind.
    Result read();

    // How a write goes about it.
    struct Plan {
        // Compared with the device's setup first: a device that holds the setup already is not
        // written, and the fields that would change are put to the question writeChanges.
        bool compare = false;
        // After the write the device's setup is read back and compared, a difference or no
        // answer being a failure; otherwise the device is read out again so that the windows
        // show what it took.
        bool readBack = false;
    };
    // What a write may ask before anything is written.
    struct Questions {
        // The fields that would change (device → new): write them?
        std::function<bool(const QList<SetupDifference> &differences)> writeChanges;
        // The device's setup could not be kept as a backup (why): write without one?
        std::function<bool(const QString &backupError)> writeWithoutBackup;
        // Told once the backup reads back, before the first set command (may be empty).
        std::function<void(const QString &backupPath)> backedUp;
    };
    // Writes the held setup into the device, the same for both programs: reads the device's
    // setup once (compared with as the plan says, and kept as a backup that must read back
    // before anything is sent), sends the set commands and "swr1", then reads the device's
    // setup back or reads it out again.
    Result write(const Plan &plan, const Questions &ask);
    // The fields without value that kept the last write from starting.
    QStringList missingFields() const { return m_missingFields; }
    // Why the last write has no backup (empty when it has one, or got no further).
    QString lastBackupError() const { return m_lastBackupError; }
    // The fields in which the setup read back after the last write differs from the one
    // written (device → written).
    QList<SetupDifference> readBackDifferences() const { return m_readBackDifferences; }

    // Opens a setup file into the held setup; a refused file changes nothing.
    Result openFile(const QString &path);
    // Saves the held setup under exactly this name.
    Result saveFile(const QString &path);
    QString fileError() const { return m_fileError; }

    // The backup made before the last write (empty when none was made).
    QString lastBackupPath() const { return m_lastBackupPath; }
    // A setup write this program started since it was started: where the device's setup before
    // the write was kept (empty without backup), when and into which device (F.Nr), and how far
    // it came: set commands sent of all, and whether the device stored it ("swr1").
    struct Written {
        QString backupPath;
        QDateTime at;
        QString serialNumber;
        int sent = 0;
        int total = 0;
        bool stored = false;
        bool complete() const { return stored && sent == total; }
    };
    // The last write that the device took whole.
    const std::optional<Written> &lastWrite() const { return m_lastWrite; }
    // Every write of this run that sent at least one set command, complete or cut, in order.
    const QList<Written> &writes() const { return m_writes; }

    // What one write did, for the device history: the setup as found and as written, how far
    // the write came, the backup, and what the device sent back.
    struct WriteRecord {
        QString before; // the device's setup print before the write
        SetupFields written;
        bool strainGauge = false;
        int sent = 0;
        int total = 0;
        bool stored = false;
        QString backupPath;
        QList<SetupDifference> readBackDifferences;
    };

signals:
    // The device sent its setup print (a read, or the setup as found before a write).
    void deviceSetupRead(const QString &print);
    // A write that sent at least one set command has ended.
    void setupWritten(const SetupTransfer::WriteRecord &record);

private:
    DeviceConversation &m_conversation;
    CurrentSetup &m_setup;
    bool m_compareBeforeWrite = false;
    QStringList m_missingFields;
    QString m_fileError;
    QString m_lastBackupPath;
    QString m_lastBackupError;
    QList<SetupDifference> m_readBackDifferences;
    std::optional<Written> m_lastWrite;
    QList<Written> m_writes;
};
