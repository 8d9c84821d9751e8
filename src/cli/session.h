#pragma once

#include "core/setup/currentsetup.h"
#include "core/setup/setuptransfer.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>

class DeviceConversation;
class HistoryRecorder;
class HistoryStore;

namespace Cli {

// The program's exit codes, as the general help lists them.
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

// The options of one call; the command line lets through only those of its command.
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

// What every command of vtk290-cli shares: the call's options, the device conversation and its
// port, the progress line on standard error, the --trace of the line's traffic, the setup a
// command works on, the device history, and the report of an interrupted run. Each of its
// steps gives Done to go on, or the exit code that ends the command, having said why.
class Session final {
public:
    Session(DeviceConversation &conversation, Options options);
    // The conversation may outlive the session (it does in main()): --trace stops listening.
    ~Session();
    Session(const Session &) = delete;
    Session &operator=(const Session &) = delete;

    const Options &options() const { return m_options; }
    DeviceConversation &conversation() { return m_conversation; }
    // The setup a command works on: the file's, or the device's for "setup get".
    CurrentSetup &setup() { return m_setup; }
    SetupTransfer &setupTransfer() { return m_transfer; }

    // The device history, read by "history" and told of saved reports; none until it is set.
    void setHistory(HistoryStore &store, HistoryRecorder &recorder) {
        m_history = &store;
        m_recorder = &recorder;
    }
    HistoryStore *history() const { return m_history; }
    HistoryRecorder *recorder() const { return m_recorder; }

    // The port given with --port as the ports to ask, or COM1 … COM8.
    int choosePorts(int &first, int &last);
    // Finds the device on the chosen ports and keeps its port open; `foundName` its answer to
    // "Name".
    int connectDevice(QString *foundName = nullptr);
    // The model from the type questions; with `serial` also the F.Nr, then serialNumber().
    int identify(bool serial = false);
    const QString &serialNumber() const { return m_serialNumber; }
    // Done when the operation ran and the run goes on; otherwise the code that ends the command.
    int afterOperation(bool ran) const;

    // A progress line on a terminal's standard error, overwritten in place; cleared by
    // endProgress() before anything else is said.
    void progress(const QString &line);
    void endProgress();

    // An output file that cannot be made is found before the device is asked (none: Done).
    int checkOutputFile(const QString &path);
    // The result to standard output, or into the file given with -o (Windows-1252, CR LF).
    int writeResult(const QString &result);

    // The backup the setup write made, named when the write is cut off.
    void setBackupPath(const QString &path) { m_backupPath = path; }
    // The state an interruption left the device in, said on standard error and given back.
    QString reportInterruption() const;

    // The run's exit code once its result is out: a result that standard output did not take
    // whole is a failed write, whatever the command found.
    static int withOutput(int code);

private:
    void trace(bool sent, const QByteArray &bytes);
    QString restoreArguments() const;

    DeviceConversation &m_conversation;
    CurrentSetup m_setup;
    SetupTransfer m_transfer;
    Options m_options;
    QString m_backupPath;
    bool m_progressShown = false;
    QString m_serialNumber;
    QElapsedTimer m_clock;
    QMetaObject::Connection m_traceConnection;
    HistoryStore *m_history = nullptr;
    HistoryRecorder *m_recorder = nullptr;
};

} // namespace Cli
