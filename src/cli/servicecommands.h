#pragma once

#include "main/devicereadout.h"

#include <QJsonObject>
#include <QString>
#include <QStringList>

class DeviceConversation;
struct SetupDifference;

// The commands of vtk290-cli on the device conversation: each gives the program's exit code and
// writes its result to standard output, messages and progress to standard error.
class ServiceCommands final {
public:
    enum ExitCode {
        Done = 0,
        Usage = 1,
        NoDevice = 2,
        NoAnswer = 3,
        BadFile = 4,
        ReadBackDiffers = 5,
        // Ctrl+C or a signal: the device was left at a safe point (the shell's convention).
        Interrupted = 130,
    };

    struct Options {
        QString port; // "COMn", a system path, or empty for the scan over COM1 … COM8
        bool json = false;
        bool dryRun = false;
        bool noBackup = false;
        QString outputFile;
    };

    ServiceCommands(DeviceConversation &conversation, Options options);

    int scan();
    int readout();
    int report();
    int log();
    int setupGet(const QString &path);
    int setupDiff(const QString &path);
    int setupPut(const QString &path);

    // The read-out as text lines, "label: value", as the main window shows it.
    static QStringList readoutLines(const ReadoutView &view);
    // The read-out as one JSON object; null where the device gave no value.
    static QJsonObject readoutJson(const ReadoutView &view);
    // The differences as a table: field, device value, file value.
    static QStringList differenceLines(const QList<SetupDifference> &differences);

    // What an interrupted run prints last: the state the device was left in.
    void reportInterruption() const;

private:
    int refused() const;
    int connectDevice(QString *foundName = nullptr);
    int readModel();
    int readDeviceSetup(QString &print);
    int loadSetupFile(const QString &path, QString &text);
    void progress(const QString &text);
    void endProgress();

    DeviceConversation &m_conversation;
    Options m_options;
    QString m_backupPath;
    bool m_progressShown = false;
};
