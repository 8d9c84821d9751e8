// setup get, setup diff, setup put and setup restore: the device's setup and setup files.
#include "cli/clitexts.h"
#include "cli/commands.h"
#include "cli/terminal.h"
#include "core/device/deviceconversation.h"
#include "core/setup/setupbackup.h"
#include "core/setup/setupfields.h"

namespace Cli {

namespace {

constexpr const char *NoSetup = "Das Gerät hat sein Setup nicht gesendet.";
constexpr const char *CannotRead = "Die Datei %1 kann nicht gelesen werden: %2";
constexpr const char *NotASetup = "Die Datei %1 enthält kein Setup.";
constexpr const char *Refused = "Das Setup der Datei %1 wird nicht geschrieben:";
constexpr const char *NotCompared = "Das Setup der Datei %1 wird nicht verglichen:";
constexpr const char *NoDifference = "Gerät und Datei unterscheiden sich nicht.";
constexpr const char *NothingWritten = "Nichts wurde geschrieben.";
constexpr const char *BackupFailed = "Die Sicherung des Geräte-Setups ist misslungen: %1\n"
                                     "Ohne Sicherung schreibt vtk290-cli nur mit --no-backup.";
constexpr const char *BackupMade = "Das Setup des Geräts ist gesichert in %1";
constexpr const char *NoBackupMade = "Ohne Sicherung (--no-backup): %1";
constexpr const char *NoBackupFor = "Für das Gerät mit F.Nr %1 gibt es keine Sicherung in %2.";
constexpr const char *OtherDeviceBackup = "Warnung: %1 ist die Sicherung des Geräts mit F.Nr %2; "
                                          "angeschlossen ist das Gerät mit F.Nr %3.";
constexpr const char *Restoring = "Zurückgespielt wird %1";
constexpr const char *Written = "Das Setup wurde geschrieben und stimmt mit der Datei überein.";
constexpr const char *NotReadBackText =
    "Das Setup wurde geschrieben und im Gerät gespeichert (\"swr1\"), aber das Gerät hat es "
    "nicht zurückgesendet: ob es übernommen wurde, ist nicht bestätigt.";
constexpr const char *ReadBackDiffersText =
    "Das Gerät hat ein anderes Setup gespeichert als geschrieben wurde:";
constexpr const char *ProgressSetup = "Setup wird gelesen …";
constexpr const char *ProgressWrite = "Setup wird geschrieben …";
constexpr const char *DifferenceHeader[] = {"Feld", "Gerät", "Datei"};

// The differences as a table: field, device value, file value.
QStringList differenceLines(const QList<SetupDifference> &differences) {
    QStringList lines;
    const auto row = [](const QString &field, const QString &from, const QString &to) {
        return (field.leftJustified(26) + from.leftJustified(22) + to).trimmed();
    };
    lines << row(text(DifferenceHeader[0]), text(DifferenceHeader[1]), text(DifferenceHeader[2]));
    for (const SetupDifference &difference : differences)
        lines << row(difference.field, difference.from, difference.to);
    return lines;
}

int readDeviceSetup(Session &session, QString &print) {
    session.progress(text(ProgressSetup));
    const std::optional<QString> answer = session.conversation().readSetup();
    session.endProgress();
    if (const int code = session.afterOperation(answer.has_value()))
        return code;
    if (!SetupTextAccepted(*answer)) {
        err(text(NoSetup));
        return NoAnswer;
    }
    print = *answer;
    return Done;
}

// Opens a setup file into the session's setup.
int loadSetupFile(Session &session, const QString &path) {
    SetupTransfer &transfer = session.setupTransfer();
    switch (transfer.openFile(path)) {
    case SetupTransfer::Result::FileError:
        err(text(CannotRead).arg(native(path), transfer.fileError()));
        return BadFile;
    case SetupTransfer::Result::NoSetup:
        err(text(NotASetup).arg(native(path)));
        return BadFile;
    default:
        return Done;
    }
}

// Refuses the session's setup, as its file gave it, when it cannot be written (or compared) as
// it stands; warns of values the program replaces.
int checkSetup(Session &session, const QString &path, bool strainGauge, bool warn,
               bool comparing = false) {
    const CurrentSetup &setup = session.setup();
    const SetupTextCheck check = CheckSetupText(setup.sourceText(), setup.fields(), strainGauge);
    if (!check.refusals.isEmpty()) {
        err(text(comparing ? NotCompared : Refused).arg(native(path)));
        for (const QString &refusal : check.refusals)
            err(QStringLiteral("  ") + refusal);
        if (!comparing)
            err(text(NothingWritten));
        return BadFile;
    }
    if (warn) {
        for (const QString &warning : check.warnings)
            err(warning);
    }
    return Done;
}

int checkBackupFolder(const Session &session) {
    if (session.options().dryRun || session.options().noBackup)
        return Done;
    const QString problem = SetupBackup::folderProblem();
    if (problem.isEmpty())
        return Done;
    err(text(BackupFailed).arg(problem));
    return BadFile;
}

// restore --latest: the newest backup of the identified device, loaded; its path in `path`.
int loadLatestBackup(Session &session, QString &path) {
    const QString &serialNumber = session.serialNumber();
    const QList<SetupBackup::Entry> entries =
        serialNumber.isEmpty() ? QList<SetupBackup::Entry>() : SetupBackup::list(serialNumber);
    if (entries.isEmpty()) {
        err(text(NoBackupFor)
                .arg(serialNumber.isEmpty() ? text(UnknownType) : serialNumber,
                     native(SetupBackup::folder())));
        return BadFile;
    }
    path = entries.first().path;
    err(text(Restoring).arg(native(path)));
    return loadSetupFile(session, path);
}

// What a setup write came to, said; its exit code.
int writeOutcome(Session &session, SetupTransfer::Result result) {
    SetupTransfer &transfer = session.setupTransfer();
    switch (result) {
    case SetupTransfer::Result::Declined:
        err(text(NothingWritten));
        if (!transfer.lastBackupError().isEmpty() && !session.options().noBackup)
            return BadFile;
        return Done;
    case SetupTransfer::Result::Unchanged:
        err(text(NoDifference));
        err(text(NothingWritten));
        return Done;
    case SetupTransfer::Result::NoSetup:
        err(text(NoSetup));
        return NoAnswer;
    case SetupTransfer::Result::Refused:
    case SetupTransfer::Result::Stopped:
        if (session.conversation().isShutDown())
            return Interrupted;
        err(text(Stopped));
        return NoAnswer;
    case SetupTransfer::Result::CutOff:
        // The port was lost before "swr1".
        session.reportInterruption();
        return NoAnswer;
    case SetupTransfer::Result::NotReadBack:
        err(text(NotReadBackText));
        return NoAnswer;
    case SetupTransfer::Result::ReadBackDiffers:
        err(text(ReadBackDiffersText));
        err(differenceLines(transfer.readBackDifferences()).join(QLatin1Char('\n')));
        return ReadBackDiffers;
    case SetupTransfer::Result::Done:
        err(text(Written));
        return Done;
    case SetupTransfer::Result::Incomplete:
    case SetupTransfer::Result::FileError:
    case SetupTransfer::Result::Failed:
        break;
    }
    err(text(Stopped));
    return NoAnswer;
}

} // namespace

int SetupGet(Session &session, const QStringList &operands) {
    const QString path = operands.value(0);
    if (const int code = session.checkOutputFile(path))
        return code;
    if (const int code = session.connectDevice())
        return code;
    SetupTransfer &transfer = session.setupTransfer();
    session.progress(text(ProgressSetup));
    const SetupTransfer::Result read = transfer.read();
    session.endProgress();
    if (session.conversation().isShutDown())
        return Interrupted;
    if (read != SetupTransfer::Result::Done) {
        err(text(read == SetupTransfer::Result::Refused ? Busy : NoSetup));
        return NoAnswer;
    }
    if (transfer.saveFile(path) == SetupTransfer::Result::FileError) {
        err(text(CannotWrite).arg(native(path), transfer.fileError()));
        return BadFile;
    }
    return Done;
}

// The file is checked as "setup put" checks it: a value outside its list or a missing field is
// no difference but a file that holds no setup to compare.
int SetupDiff(Session &session, const QStringList &operands) {
    const QString path = operands.value(0);
    if (const int code = loadSetupFile(session, path))
        return code;
    if (const int code = checkSetup(session, path, false, false, true))
        return code;
    if (const int code = session.connectDevice())
        return code;
    if (const int code = session.identify())
        return code;
    DeviceConversation &conversation = session.conversation();
    if (const int code = checkSetup(session, path, conversation.isStrainGauge(), true, true))
        return code;
    QString print;
    if (const int code = readDeviceSetup(session, print))
        return code;
    const QList<SetupDifference> differences = SetupDifferences(
        SetupFieldsFromText(print), session.setup().fields(), conversation.isStrainGauge());
    if (differences.isEmpty()) {
        err(text(NoDifference));
        return Done;
    }
    out(differenceLines(differences).join(QLatin1Char('\n')));
    return Differs;
}

// The one setup write of both programs, compared always and read back after "swr1"; the
// differences are shown before anything is written.
int SetupPut(Session &session, const QStringList &operands) {
    QString path = operands.value(0);
    if (!path.isEmpty()) {
        if (const int code = loadSetupFile(session, path))
            return code;
        // The fields every model has before the port is opened; the strain-gauge part once
        // the model is known.
        if (const int code = checkSetup(session, path, false, false))
            return code;
    }
    if (const int code = checkBackupFolder(session))
        return code;
    if (const int code = session.connectDevice())
        return code;
    // The newest backup of this device, chosen by its F.Nr before this write makes a newer one.
    if (const int code = session.identify(path.isEmpty()))
        return code;
    if (path.isEmpty()) {
        if (const int code = loadLatestBackup(session, path))
            return code;
    }
    DeviceConversation &conversation = session.conversation();
    if (const int code = checkSetup(session, path, conversation.isStrainGauge(), true))
        return code;

    const Options &options = session.options();
    SetupTransfer::Questions ask;
    ask.writeChanges = [&conversation, &options, &path](const QList<SetupDifference> &differences) {
        // A backup of another device may be meant (a replaced amplifier): it is said.
        const QString fileSerial = SetupBackup::serialNumberOf(path);
        const QString deviceSerial = conversation.serialNumber();
        if (!fileSerial.isEmpty() && !deviceSerial.isEmpty() &&
            fileSerial.toInt() != deviceSerial.toInt())
            err(text(OtherDeviceBackup).arg(native(path), fileSerial, deviceSerial));
        out(differenceLines(differences).join(QLatin1Char('\n')));
        // A write whose differences the caller cannot see is not made.
        return !options.dryRun && Terminal::outputFailure().isEmpty() && !Terminal::outputClosed();
    };
    ask.backedUp = [](const QString &backupPath) {
        err(text(BackupMade).arg(native(backupPath)));
    };
    ask.writeWithoutBackup = [&options](const QString &backupError) {
        err(text(options.noBackup ? NoBackupMade : BackupFailed).arg(backupError));
        return options.noBackup;
    };
    SetupTransfer &transfer = session.setupTransfer();
    session.progress(text(ProgressWrite));
    const SetupTransfer::Result result = transfer.write({true, true}, ask);
    session.endProgress();
    session.setBackupPath(transfer.lastBackupPath());
    return writeOutcome(session, result);
}

} // namespace Cli
