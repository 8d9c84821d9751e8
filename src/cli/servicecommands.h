#pragma once

#include "core/device/devicereadout.h"
#include "core/setup/currentsetup.h"
#include "core/setup/setuptransfer.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QString>
#include <QStringList>

class DeviceConversation;
class HistoryRecorder;
class HistoryStore;
struct SetupDifference;
struct SetupFields;

// The commands of vtk290-cli on the device conversation: each gives the program's exit code and
// writes its result to standard output, messages, warnings and progress to standard error.
// Everything that can be checked without the device (output folders, the backup folder, the
// setup file) is checked before the port is opened.
class ServiceCommands final {
public:
    enum ExitCode {
        Done = 0,
        Differs = 1, // setup diff: device and file differ
        Usage = 2,
        NoDevice = 3,
        NoAnswer = 4,
        BadFile = 5,
        ReadBackDiffers = 6,
        Interrupted = 130,
    };

    struct Options {
        QString port; // any form PortAddress reads, or empty for the scan over COM1 … COM8
        bool json = false;
        bool all = false;
        bool dryRun = false;
        bool noBackup = false;
        bool latest = false;
        bool trace = false;
        QString outputFile;
    };

    ServiceCommands(DeviceConversation &conversation, Options options);

    int scan();
    int readout();
    int report();
    int log();
    int setupGet(const QString &path);
    int setupDiff(const QString &path);
    // Writes the file's setup; with an empty path (restore --latest) the newest backup of the
    // connected device.
    int setupPut(const QString &path);
    int backups(const QString &serialNumber);
    // The devices in the history, or one device's visits.
    int history(const QString &serialNumber);

    // The read-out as text lines, "label: value", as the main window shows it.
    static QStringList readoutLines(const ReadoutView &view);
    // The read-out's fields without value, by their labels.
    static QStringList missingReadoutFields(const ReadoutView &view);
    // The differences as a table: field, device value, file value.
    static QStringList differenceLines(const QList<SetupDifference> &differences);
    // What an interrupted run prints last: the state the device was left in.
    // The state the device was left in, as said.
    QString reportInterruption() const;
    // The device history, read by "history" and told of saved reports.
    void setHistory(HistoryStore &store, HistoryRecorder &recorder) {
        m_history = &store;
        m_recorder = &recorder;
    }
    SetupTransfer &setupTransfer() { return m_transfer; }

private:
    int afterOperation(bool ran) const;
    int choosePorts(int &first, int &last);
    QString restoreArguments() const;
    int connectDevice(QString *foundName = nullptr);
    // The model from the type questions; with `serial` also the F.Nr.
    int identify(bool serial = false);
    int readDeviceSetup(QString &print);
    // Opens a setup file into the held setup.
    int loadSetupFile(const QString &path);
    // Checks the held setup as its file gave it.
    int checkSetup(const QString &path, bool strainGauge, bool warn, bool comparing = false);
    int checkOutputFile(const QString &path);
    int checkBackupFolder();
    int writeResult(const QString &result);
    void trace(bool sent, const QByteArray &bytes);
    void progress(const QString &text);
    void endProgress();

    DeviceConversation &m_conversation;
    // The setup a command works on: the file's, or the device's for "setup get".
    CurrentSetup m_setup;
    SetupTransfer m_transfer;
    Options m_options;
    QString m_backupPath;
    bool m_progressShown = false;
    QString m_serialNumber;
    QElapsedTimer m_clock;
    HistoryStore *m_history = nullptr;
    HistoryRecorder *m_recorder = nullptr;
};
