#include "cli/servicecommands.h"

#include "core/device/deviceconversation.h"
#include "core/history/historyrecorder.h"
#include "core/history/historystore.h"
#include "core/link/allgem.h"
#include "core/link/networkportio.h"
#include "core/link/portaddress.h"
#include "core/link/portnames.h"
#include "core/link/ucom.h"
#include "core/setup/setupbackup.h"
#include "core/setup/setupfields.h"
#include "core/setup/setupfile.h"
#include "core/system/filewriter.h"
#include "core/system/systemreason.h"
#include "cli/terminal.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>

#include <cstdio>

namespace {

constexpr const char *NotFound = "Kein KT 290 gefunden.";
constexpr const char *NotFoundOnPort = "An %1 antwortet kein KT 290.";
constexpr const char *OtherDevice = "An %1 (%2) antwortet ein anderes Gerät: \"%3\"";
constexpr const char *Denied = "Die Schnittstelle %1 darf nicht geöffnet werden (Gruppe %2).";
constexpr const char *PortBusy =
    "Die Schnittstelle %1 (%2) ist belegt: ein anderes Programm hat sie geöffnet.";
constexpr const char *NoSuchPort = "Die Schnittstelle %1 gibt es nicht.";
constexpr const char *NoSuchPortPath = "Die Schnittstelle %1 (%2) gibt es nicht.";
constexpr const char *NoReadout = "Das Gerät hat nicht vollständig geantwortet; ohne Wert: %1.";
constexpr const char *NoReport =
    "Das Gerät hat nicht vollständig geantwortet; im Bericht ohne Antwort: %1.";
constexpr const char *NoType = "Das Gerät hat seinen Typ nicht genannt.";
constexpr const char *NoSetup = "Das Gerät hat sein Setup nicht gesendet.";
constexpr const char *NoLog = "Das Gerät hat sein Logbuch nicht gesendet.";
constexpr const char *Busy = "Das Gerät ist mit einer anderen Aufgabe beschäftigt.";
constexpr const char *CannotRead = "Die Datei %1 kann nicht gelesen werden: %2";
constexpr const char *NotASetup = "Die Datei %1 enthält kein Setup.";
constexpr const char *CannotWrite = "Die Datei %1 kann nicht geschrieben werden: %2";
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
constexpr const char *NoBackups = "Keine Sicherungen in %1.";
constexpr const char *NoBackupsFor = "Keine Sicherungen für F.Nr %1 in %2.";
constexpr const char *Written = "Das Setup wurde geschrieben und stimmt mit der Datei überein.";
constexpr const char *NotReadBackText =
    "Das Setup wurde geschrieben und im Gerät gespeichert (\"swr1\"), aber das Gerät hat es "
    "nicht zurückgesendet: ob es übernommen wurde, ist nicht bestätigt.";
constexpr const char *ReadBackDiffersText =
    "Das Gerät hat ein anderes Setup gespeichert als geschrieben wurde:";
constexpr const char *Stopped = "Der Vorgang wurde abgebrochen.";
constexpr const char *InterruptedSafely =
    "Abgebrochen. Jeder Befehl hat das Gerät ganz erreicht, der Kalibrierwiderstand ist aus: "
    "das Gerät arbeitet normal weiter.";
constexpr const char *InterruptedAfterWrite =
    "Abgebrochen, nachdem das Setup vollständig geschrieben und im Gerät gespeichert wurde "
    "(\"swr1\"); es wurde nicht mehr zurückgelesen.";
constexpr const char *WriteCutOff =
    "Das Setup wurde nicht vollständig geschrieben: nach %1 von %2 Befehlen unterbrochen, ohne "
    "\"swr1\". Das im Gerät gespeicherte Setup ist womöglich unvollständig.";
constexpr const char *RestoreHint = "Die Sicherung des vorherigen Setups: %1\n"
                                    "Zurückschreiben mit: vtk290-cli setup put %2";
constexpr const char *NoBackupHint = "Es gibt keine Sicherung des vorherigen Setups.";
constexpr const char *UnknownType = "unbekannt";
constexpr const char *NoHistory = "Die Gerätehistorie %1 kennt noch kein Gerät.";
constexpr const char *NoVisits = "Die Gerätehistorie %2 kennt kein Gerät mit F.Nr %1.";

constexpr const char *ProgressReadout = "Gerät wird ausgelesen …";
constexpr const char *ProgressReport = "Statusbericht: %1 Zeilen …";
constexpr const char *ProgressLog = "Logbuch: %1 Zeichen …";
constexpr const char *ProgressSetup = "Setup wird gelesen …";
constexpr const char *ProgressWrite = "Setup wird geschrieben …";
constexpr const char *ProgressScan = "Schnittstellen werden gefragt …";

constexpr const char *ReadoutLabels[] = {
    "Typ",      "Hardwareversion", "Softwareversion", "F.Nr", "Setupsperre",
    "Fehler",   "Eingang",         "Ausgang",         "SP1",  "SP2",
    "Relais 1", "Relais 2",
};
constexpr const char *NoError = "keiner";
constexpr const char *RelayClosed = "geschlossen";
constexpr const char *RelayOpen = "offen";
constexpr const char *DifferenceHeader[] = {"Feld", "Gerät", "Datei"};

// What `scan --all` says of a port.
constexpr const char *FoundDevice = "KT 290: %1, F.Nr %2";
constexpr const char *FoundOther = "anderes Gerät: %1";
constexpr const char *FoundSilent = "keine Antwort";
constexpr const char *FoundBusy = "belegt";
constexpr const char *FoundDenied = "keine Berechtigung";
constexpr const char *FoundAbsent = "nicht vorhanden";
// The system's own reason for the rest is not German; the likely cause is named instead.
constexpr const char *FoundOpenFailed =
    "lässt sich nicht öffnen oder einstellen (keine serielle Schnittstelle?)";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

void out(const QString &line) {
    Terminal::out(line + QLatin1Char('\n'));
}

void err(const QString &line) {
    Terminal::err(line + QLatin1Char('\n'));
}

void outJson(const QJsonDocument &document) {
    Terminal::out(QString::fromUtf8(document.toJson(QJsonDocument::Indented)));
}

QString native(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// A path as a shell takes it as one word.
QString shellWord(const QString &path) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+:=-]+$"));
    if (plain.match(path).hasMatch())
        return path;
    return QLatin1Char('\'') + QString(path).replace(QLatin1String("'"), QLatin1String("'\\''")) +
           QLatin1Char('\'');
}

QJsonValue text(const QString &value) {
    return value.trimmed().isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value.trimmed());
}

QString relayText(const std::optional<int> &bits, int bit) {
    if (!bits)
        return {};
    return text((*bits & bit) ? RelayClosed : RelayOpen);
}

// What the main window shows as the input: the field of the panel it shows.
QString inputText(const ReadoutView &view) {
    return view.showStrainGaugePanel ? view.inputStrainGauge : view.inputCurrentPanel;
}

QString findingText(const ConnectionScan::PortFinding &finding) {
    using Kind = ConnectionScan::PortFinding::Kind;
    switch (finding.kind) {
    case Kind::Device:
        return text(FoundDevice)
            .arg(finding.typeText.isEmpty() ? text(UnknownType) : finding.typeText,
                 finding.serialNumber.isEmpty() ? text(UnknownType) : finding.serialNumber);
    case Kind::OtherDevice:
        return text(FoundOther).arg(finding.answer);
    case Kind::Silent:
        return text(FoundSilent);
    case Kind::Busy:
        return finding.network ? finding.error : text(FoundBusy);
    case Kind::Denied:
        return text(FoundDenied);
    case Kind::Absent:
        return text(FoundAbsent);
    case Kind::OpenFailed:
        // A network port's reason is the program's own, named with the address.
        if (finding.network)
            return finding.error;
        break;
    }
    return text(FoundOpenFailed);
}

QString findingKey(ConnectionScan::PortFinding::Kind kind) {
    using Kind = ConnectionScan::PortFinding::Kind;
    switch (kind) {
    case Kind::Device:
        return QStringLiteral("kt290");
    case Kind::OtherDevice:
        return QStringLiteral("other");
    case Kind::Silent:
        return QStringLiteral("silent");
    case Kind::Busy:
        return QStringLiteral("busy");
    case Kind::Denied:
        return QStringLiteral("denied");
    case Kind::Absent:
        return QStringLiteral("absent");
    case Kind::OpenFailed:
        break;
    }
    return QStringLiteral("error");
}

// A group of bytes on the line as a technician reads it: control characters as escapes.
QString traceText(const QByteArray &bytes) {
    QString shown;
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\r')
            shown += QStringLiteral("\\r");
        else if (c == '\n')
            shown += QStringLiteral("\\n");
        else if (c == '\\')
            shown += QStringLiteral("\\\\");
        else if (u < 32 || u >= 127)
            shown += QStringLiteral("\\x%1").arg(u, 2, 16, QLatin1Char('0'));
        else
            shown += QLatin1Char(c);
    }
    return shown;
}

} // namespace

ServiceCommands::ServiceCommands(DeviceConversation &conversation, Options options)
    : m_conversation(conversation)
    , m_transfer(conversation, m_setup)
    , m_options(std::move(options)) {
    m_clock.start();
    if (m_options.trace)
        QObject::connect(&m_conversation, &DeviceConversation::traffic,
                         [this](bool sent, const QByteArray &bytes) { trace(sent, bytes); });
}

void ServiceCommands::trace(bool sent, const QByteArray &bytes) {
    endProgress();
    err(QStringLiteral("%1 %2 %3")
            .arg(m_clock.nsecsElapsed() / 1e9, 9, 'f', 3)
            .arg(QLatin1String(sent ? ">" : "<"), traceText(bytes)));
}

void ServiceCommands::progress(const QString &line) {
    if (!Terminal::standardErrorIsTerminal() || m_options.trace)
        return;
    // The line is overwritten in place; the blanks clear a longer line before it.
    Terminal::err(QLatin1Char('\r') + line.leftJustified(60));
    m_progressShown = true;
}

void ServiceCommands::endProgress() {
    if (!m_progressShown)
        return;
    Terminal::err(QLatin1Char('\r') + QString(60, QLatin1Char(' ')) + QLatin1Char('\r'));
    m_progressShown = false;
}

// Done when the operation ran and the run goes on; otherwise the code that ends the command. An
// operation refused or stopped because the program is ending says nothing of its own: the end
// of the run tells what happened.
int ServiceCommands::afterOperation(bool ran) const {
    if (m_conversation.isShutDown())
        return Interrupted;
    if (ran)
        return Done;
    err(text(Busy));
    return NoAnswer;
}

QString ServiceCommands::reportInterruption() const {
    const DeviceConversation::WriteProgress write = m_conversation.lastWrite();
    QString state;
    if (write.cutOff()) {
        state = text(WriteCutOff).arg(write.sent).arg(write.total);
        err(state);
        err(m_backupPath.isEmpty()
                ? text(NoBackupHint)
                : text(RestoreHint).arg(native(m_backupPath), restoreArguments()));
    } else {
        state = text(write.stored ? InterruptedAfterWrite : InterruptedSafely);
        err(state);
    }
    return state;
}

// The port given with --port as the ports to ask: COMn alone, or a path or network address as
// the only port there is (COM1). Without --port, COM1 … COM8.
int ServiceCommands::choosePorts(int &first, int &last) {
    first = ConnectionScan::FirstPort;
    last = ConnectionScan::LastPort;
    if (m_options.port.isEmpty())
        return Done;
    const PortAddress address = PortAddress::parse(m_options.port);
    if (!address.isValid()) {
        err(address.problem());
        return Usage;
    }
    QString path;
    if (address.kind == PortAddress::Kind::Com) {
        first = last = address.comNumber;
        path = PortNames::systemLocation(QStringLiteral("COM%1").arg(first));
        if (path.isEmpty()) {
            err(text(NoSuchPort).arg(address.text));
            return NoDevice;
        }
    } else {
        first = last = ConnectionScan::FirstPort;
        path = address.text;
        PortNames::setOverride({path});
    }
    if (!NetworkPortIo::isNetworkPath(path) && !QFileInfo::exists(path)) {
        err(address.kind == PortAddress::Kind::Com
                ? text(NoSuchPortPath).arg(address.text, native(path))
                : text(NoSuchPort).arg(native(path)));
        return NoDevice;
    }
    return Done;
}

// What follows "setup put" to put the backup back into the device it came from: the port given
// for this run names it; without one the scan finds the first device, as it found this one.
QString ServiceCommands::restoreArguments() const {
    QString arguments = shellWord(native(m_backupPath));
    if (!m_options.port.isEmpty())
        arguments += QStringLiteral(" --port ") + shellWord(m_options.port);
    return arguments;
}

int ServiceCommands::connectDevice(QString *foundName) {
    // A connection made before (a caller that opened the port itself) is used as it is.
    if (m_conversation.isConnected())
        return Done;
    const QString &port = m_options.port;
    int first = 0, last = 0;
    if (const int code = choosePorts(first, last))
        return code;
    const std::optional<ConnectionScan::Result> result =
        first == last ? m_conversation.connectDevice(first) : m_conversation.connectDevice();
    if (m_conversation.isShutDown())
        return Interrupted;
    if (!result || !result->found) {
        if (result) {
            for (const QString &failure : result->networkFailures)
                err(failure);
        }
        if (result && !result->deniedPort.isEmpty())
            err(text(Denied).arg(result->deniedPort, result->deniedGroup));
        if (result && !result->busyPort.isEmpty())
            err(text(PortBusy).arg(result->busyPort,
                                   native(PortNames::systemLocation(result->busyPort))));
        if (result && result->otherPort != 0) {
            const QString com = QStringLiteral("COM%1").arg(result->otherPort);
            err(text(OtherDevice)
                    .arg(com, native(PortNames::systemLocation(com)), result->otherAnswer));
        }
        err(port.isEmpty() ? text(NotFound) : text(NotFoundOnPort).arg(port));
        return NoDevice;
    }
    if (foundName)
        *foundName = result->name;
    return Done;
}

// The model decides which fields a setup has; the type questions tell it.
int ServiceCommands::identify(bool serial) {
    const std::optional<ReadoutView> view = m_conversation.identify(serial);
    if (const int code = afterOperation(view.has_value()))
        return code;
    if (view->typeText.isEmpty()) {
        err(text(NoType));
        return NoAnswer;
    }
    m_serialNumber = view->serialNumber;
    return Done;
}

int ServiceCommands::readDeviceSetup(QString &print) {
    progress(text(ProgressSetup));
    const std::optional<QString> answer = m_conversation.readSetup();
    endProgress();
    if (const int code = afterOperation(answer.has_value()))
        return code;
    if (!SetupTextAccepted(*answer)) {
        err(text(NoSetup));
        return NoAnswer;
    }
    print = *answer;
    return Done;
}

int ServiceCommands::loadSetupFile(const QString &path) {
    switch (m_transfer.openFile(path)) {
    case SetupTransfer::Result::FileError:
        err(text(CannotRead).arg(native(path), m_transfer.fileError()));
        return BadFile;
    case SetupTransfer::Result::NoSetup:
        err(text(NotASetup).arg(native(path)));
        return BadFile;
    default:
        return Done;
    }
}

// Refuses a setup that cannot be written (or compared) as it stands; warns of values the
// program replaces.
int ServiceCommands::checkSetup(const QString &path, bool strainGauge, bool warn, bool comparing) {
    const SetupTextCheck check =
        CheckSetupText(m_setup.sourceText(), m_setup.fields(), strainGauge);
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

// An output file that cannot be made is found before the device is asked.
int ServiceCommands::checkOutputFile(const QString &path) {
    const QString reason = FileWriter::problemAt(path);
    if (reason.isEmpty())
        return Done;
    err(text(CannotWrite).arg(native(path), reason));
    return BadFile;
}

int ServiceCommands::checkBackupFolder() {
    if (m_options.dryRun || m_options.noBackup)
        return Done;
    const QString problem = SetupBackup::folderProblem();
    if (problem.isEmpty())
        return Done;
    err(text(BackupFailed).arg(problem));
    return BadFile;
}

// The result to standard output, or into the file given with -o (Windows-1252, CR LF).
int ServiceCommands::writeResult(const QString &result) {
    const QStringList lines = StatusReport::splitLines(result);
    if (m_options.outputFile.isEmpty()) {
        out(lines.join(QLatin1Char('\n')));
        return Done;
    }
    const QString error = FileWriter::save(m_options.outputFile, SetupFile::encode(lines));
    if (!error.isEmpty()) {
        err(text(CannotWrite).arg(native(m_options.outputFile), error));
        return BadFile;
    }
    return Done;
}

int ServiceCommands::scan() {
    if (!m_options.all) {
        QString name;
        if (const int code = connectDevice(&name))
            return code;
        const QString com = QStringLiteral("COM%1").arg(m_conversation.port());
        const QString path = PortNames::systemLocation(com);
        if (m_options.json) {
            outJson(QJsonDocument(QJsonObject{{QStringLiteral("port"), com},
                                              {QStringLiteral("path"), native(path)},
                                              {QStringLiteral("name"), name}}));
        } else {
            out(QStringLiteral("%1\t%2\t%3").arg(com, native(path), name));
        }
        return Done;
    }
    int first = 0, last = 0;
    if (const int code = choosePorts(first, last))
        return code;
    progress(text(ProgressScan));
    const std::optional<QList<ConnectionScan::PortFinding>> findings =
        m_conversation.surveyPorts(first, last);
    endProgress();
    if (const int code = afterOperation(findings.has_value()))
        return code;
    QJsonArray ports;
    bool found = false;
    for (const ConnectionScan::PortFinding &finding : *findings) {
        const QString com = QStringLiteral("COM%1").arg(finding.port);
        const bool device = finding.kind == ConnectionScan::PortFinding::Kind::Device;
        found = found || device;
        if (!m_options.json) {
            out(QStringLiteral("%1\t%2\t%3")
                    .arg(com, finding.path.isEmpty() ? QStringLiteral("-") : native(finding.path),
                         findingText(finding)));
            continue;
        }
        QJsonObject port{{QStringLiteral("port"), com},
                         {QStringLiteral("path"), text(native(finding.path))},
                         {QStringLiteral("status"), findingKey(finding.kind)},
                         {QStringLiteral("answer"), text(finding.answer)}};
        if (device) {
            port[QStringLiteral("type")] = text(finding.typeText);
            bool ok = false;
            const int serial = finding.serialNumber.toInt(&ok);
            port[QStringLiteral("serialNumber")] = ok ? QJsonValue(serial) : QJsonValue();
        }
        if (!finding.error.isEmpty())
            port[QStringLiteral("error")] = finding.error;
        ports << port;
    }
    if (m_options.json)
        outJson(QJsonDocument(ports));
    if (!found) {
        err(text(NotFound));
        return NoDevice;
    }
    return Done;
}

QStringList ServiceCommands::readoutLines(const ReadoutView &view) {
    const QString values[] = {
        view.typeText,
        view.hwVersion,
        view.swVersion,
        view.serialNumber,
        view.setupLock,
        view.errorText ? *view.errorText : text(NoError),
        inputText(view),
        view.output,
        view.switchPoint1,
        view.switchPoint2,
        relayText(view.relayBits, 1),
        relayText(view.relayBits, 2),
    };
    QStringList lines;
    for (std::size_t i = 0; i < std::size(ReadoutLabels); ++i) {
        const QString label = text(ReadoutLabels[i]) + QLatin1Char(':');
        lines << (label.leftJustified(17) + values[i].trimmed()).trimmed();
    }
    return lines;
}

QStringList ServiceCommands::missingReadoutFields(const ReadoutView &view) {
    const std::pair<bool, const char *> fields[] = {
        {!view.typeText.isEmpty(), "Typ"},
        {bool(view.serialValue), "F.Nr"},
        {bool(view.setupLocked), "Setupsperre"},
        {bool(view.errorCode), "Fehler"},
        {bool(view.inputValue), "Eingang"},
        {bool(view.outputValue), "Ausgang"},
        {bool(view.switchPoint1Value), "SP1"},
        {bool(view.switchPoint2Value), "SP2"},
        {bool(view.relayBits), "Relais 1, Relais 2"},
    };
    QStringList missing;
    for (const auto &[given, label] : fields) {
        if (!given)
            missing << text(label);
    }
    return missing;
}

int ServiceCommands::readout() {
    if (const int code = connectDevice())
        return code;
    int answers = 0;
    const std::optional<ReadoutView> view =
        m_conversation.readout([this, &answers](const ReadoutView &) {
            progress(text(ProgressReadout) + QStringLiteral(" %1").arg(++answers));
        });
    endProgress();
    if (const int code = afterOperation(view.has_value()))
        return code;
    if (m_options.json)
        outJson(QJsonDocument(ReadoutJson(*view)));
    else
        out(readoutLines(*view).join(QLatin1Char('\n')));
    if (const QStringList missing = missingReadoutFields(*view); !missing.isEmpty()) {
        err(text(NoReadout).arg(missing.join(QStringLiteral(", "))));
        return NoAnswer;
    }
    return Done;
}

int ServiceCommands::report() {
    if (!m_options.outputFile.isEmpty()) {
        if (const int code = checkOutputFile(m_options.outputFile))
            return code;
    }
    if (const int code = connectDevice())
        return code;
    // The report's questions depend on the model; the type questions tell it.
    if (const int code = identify())
        return code;
    QStringList lines;
    QStringList unanswered;
    const bool built = m_conversation.statusReport(
        [this, &lines](const QString &line) {
            lines << StatusReport::splitLines(line);
            progress(text(ProgressReport).arg(lines.size()));
        },
        nullptr, &unanswered);
    endProgress();
    if (const int code = afterOperation(built))
        return code;
    if (m_conversation.lastOperationStopped()) {
        err(text(Stopped));
        return NoAnswer;
    }
    if (const int code = writeResult(lines.join(QLatin1Char('\n'))))
        return code;
    if (m_recorder)
        m_recorder->recordReport(m_options.outputFile);
    // The report is given as far as it goes; a script learns that it is not whole.
    if (!unanswered.isEmpty()) {
        err(text(NoReport).arg(unanswered.join(QStringLiteral(", "))));
        return NoAnswer;
    }
    return Done;
}

int ServiceCommands::log() {
    if (!m_options.outputFile.isEmpty()) {
        if (const int code = checkOutputFile(m_options.outputFile))
            return code;
    }
    if (const int code = connectDevice())
        return code;
    const std::optional<QString> logText = m_conversation.fetchLog(
        [this](const QString &so_far) { progress(text(ProgressLog).arg(so_far.size())); });
    endProgress();
    if (m_conversation.isShutDown())
        return Interrupted;
    if (!logText) {
        err(text(NoLog));
        return NoAnswer;
    }
    return writeResult(*logText);
}

int ServiceCommands::setupGet(const QString &path) {
    if (const int code = checkOutputFile(path))
        return code;
    if (const int code = connectDevice())
        return code;
    progress(text(ProgressSetup));
    const SetupTransfer::Result read = m_transfer.read();
    endProgress();
    if (m_conversation.isShutDown())
        return Interrupted;
    if (read != SetupTransfer::Result::Done) {
        err(text(read == SetupTransfer::Result::Refused ? Busy : NoSetup));
        return NoAnswer;
    }
    if (m_transfer.saveFile(path) == SetupTransfer::Result::FileError) {
        err(text(CannotWrite).arg(native(path), m_transfer.fileError()));
        return BadFile;
    }
    return Done;
}

QStringList ServiceCommands::differenceLines(const QList<SetupDifference> &differences) {
    QStringList lines;
    const auto row = [](const QString &field, const QString &from, const QString &to) {
        return (field.leftJustified(26) + from.leftJustified(22) + to).trimmed();
    };
    lines << row(text(DifferenceHeader[0]), text(DifferenceHeader[1]), text(DifferenceHeader[2]));
    for (const SetupDifference &difference : differences)
        lines << row(difference.field, difference.from, difference.to);
    return lines;
}

// The file is checked as "setup put" checks it: a value outside its list or a missing field is
// no difference but a file that holds no setup to compare.
int ServiceCommands::setupDiff(const QString &path) {
    if (const int code = loadSetupFile(path))
        return code;
    if (const int code = checkSetup(path, false, false, true))
        return code;
    if (const int code = connectDevice())
        return code;
    if (const int code = identify())
        return code;
    if (const int code = checkSetup(path, m_conversation.isStrainGauge(), true, true))
        return code;
    QString print;
    if (const int code = readDeviceSetup(print))
        return code;
    const QList<SetupDifference> differences = SetupDifferences(
        SetupFieldsFromText(print), m_setup.fields(), m_conversation.isStrainGauge());
    if (differences.isEmpty()) {
        err(text(NoDifference));
        return Done;
    }
    out(differenceLines(differences).join(QLatin1Char('\n')));
    return Differs;
}

// The one setup write of both programs, compared always and read back after "swr1"; the
// differences are shown before anything is written.
int ServiceCommands::setupPut(const QString &givenPath) {
    QString path = givenPath;
    if (!path.isEmpty()) {
        if (const int code = loadSetupFile(path))
            return code;
        // The fields every model has before the port is opened; the strain-gauge part once
        // the model is known.
        if (const int code = checkSetup(path, false, false))
            return code;
    }
    if (const int code = checkBackupFolder())
        return code;
    if (const int code = connectDevice())
        return code;
    // The newest backup of this device, chosen by its F.Nr before this write makes a newer one.
    if (const int code = identify(path.isEmpty()))
        return code;
    if (path.isEmpty()) {
        const QList<SetupBackup::Entry> entries = m_serialNumber.isEmpty()
                                                      ? QList<SetupBackup::Entry>()
                                                      : SetupBackup::list(m_serialNumber);
        if (entries.isEmpty()) {
            err(text(NoBackupFor)
                    .arg(m_serialNumber.isEmpty() ? text(UnknownType) : m_serialNumber,
                         native(SetupBackup::folder())));
            return BadFile;
        }
        path = entries.first().path;
        err(text(Restoring).arg(native(path)));
        if (const int code = loadSetupFile(path))
            return code;
    }
    if (const int code = checkSetup(path, m_conversation.isStrainGauge(), true))
        return code;

    SetupTransfer::Questions ask;
    ask.writeChanges = [this, &path](const QList<SetupDifference> &differences) {
        // A backup of another device may be meant (a replaced amplifier): it is said.
        const QString fileSerial = SetupBackup::serialNumberOf(path);
        const QString deviceSerial = m_conversation.serialNumber();
        if (!fileSerial.isEmpty() && !deviceSerial.isEmpty() &&
            fileSerial.toInt() != deviceSerial.toInt())
            err(text(OtherDeviceBackup).arg(native(path), fileSerial, deviceSerial));
        out(differenceLines(differences).join(QLatin1Char('\n')));
        // A write whose differences the caller cannot see is not made.
        return !m_options.dryRun && Terminal::outputFailure().isEmpty() &&
               !Terminal::outputClosed();
    };
    ask.backedUp = [](const QString &backupPath) {
        err(text(BackupMade).arg(native(backupPath)));
    };
    ask.writeWithoutBackup = [this](const QString &backupError) {
        err(text(m_options.noBackup ? NoBackupMade : BackupFailed).arg(backupError));
        return m_options.noBackup;
    };
    progress(text(ProgressWrite));
    const SetupTransfer::Result result = m_transfer.write({true, true}, ask);
    endProgress();
    m_backupPath = m_transfer.lastBackupPath();
    switch (result) {
    case SetupTransfer::Result::Declined:
        err(text(NothingWritten));
        if (!m_transfer.lastBackupError().isEmpty() && !m_options.noBackup)
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
        if (m_conversation.isShutDown())
            return Interrupted;
        err(text(Stopped));
        return NoAnswer;
    case SetupTransfer::Result::CutOff:
        // The port was lost before "swr1".
        reportInterruption();
        return NoAnswer;
    case SetupTransfer::Result::NotReadBack:
        err(text(NotReadBackText));
        return NoAnswer;
    case SetupTransfer::Result::ReadBackDiffers:
        err(text(ReadBackDiffersText));
        err(differenceLines(m_transfer.readBackDifferences()).join(QLatin1Char('\n')));
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

int ServiceCommands::backups(const QString &serialNumber) {
    const QString folder = SetupBackup::folder();
    if (folder.isEmpty()) {
        err(SetupBackup::folderProblem());
        return BadFile;
    }
    const QList<SetupBackup::Entry> entries = SetupBackup::list(serialNumber);
    if (m_options.json) {
        QJsonArray list;
        for (const SetupBackup::Entry &entry : entries) {
            bool ok = false;
            const int serial = entry.serialNumber.toInt(&ok);
            list << QJsonObject{
                {QStringLiteral("path"), native(entry.path)},
                {QStringLiteral("time"), entry.time.toString(Qt::ISODate)},
                {QStringLiteral("serialNumber"), ok ? QJsonValue(serial) : QJsonValue()},
                {QStringLiteral("type"), text(entry.typeText)},
            };
        }
        outJson(QJsonDocument(list));
    } else {
        for (const SetupBackup::Entry &entry : entries)
            out(QStringLiteral("%1\t%2\t%3\t%4")
                    .arg(entry.time.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")),
                         entry.serialNumber.isEmpty() ? text(UnknownType) : entry.serialNumber,
                         entry.typeText.isEmpty() ? text(UnknownType) : entry.typeText,
                         native(entry.path)));
    }
    if (entries.isEmpty())
        err(serialNumber.isEmpty() ? text(NoBackups).arg(native(folder))
                                   : text(NoBackupsFor).arg(serialNumber, native(folder)));
    return Done;
}

int ServiceCommands::history(const QString &serialNumber) {
    if (!m_history || !m_history->isOpen()) {
        // The recorder has said why.
        return BadFile;
    }
    if (serialNumber.isEmpty()) {
        const QList<HistoryStore::Device> devices = m_history->devices();
        if (m_options.json) {
            QJsonArray list;
            for (const HistoryStore::Device &device : devices)
                list << QJsonObject{
                    {QStringLiteral("serialNumber"), text(device.serialNumber)},
                    {QStringLiteral("type"), text(device.typeText)},
                    {QStringLiteral("lastSeen"), device.lastSeen.toString(Qt::ISODate)},
                    {QStringLiteral("visits"), device.visits}};
            outJson(QJsonDocument(list));
        } else {
            for (const HistoryStore::Device &device : devices)
                out(QStringLiteral("%1\t%2\t%3\t%4")
                        .arg(device.serialNumber.isEmpty() ? text(UnknownType)
                                                           : device.serialNumber,
                             device.typeText.isEmpty() ? text(UnknownType) : device.typeText,
                             device.lastSeen.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))
                        .arg(device.visits));
        }
        if (devices.isEmpty())
            err(text(NoHistory).arg(native(m_history->path())));
        return m_history->problem().isEmpty() ? Done : BadFile;
    }
    const QList<HistoryStore::Visit> visits = m_history->visits(serialNumber);
    if (m_options.json) {
        QJsonArray list;
        for (const HistoryStore::Visit &visit : visits) {
            QJsonArray events;
            for (const HistoryStore::Event &event : visit.events)
                events << QJsonObject{{QStringLiteral("kind"), event.kind},
                                      {QStringLiteral("time"), event.at.toString(Qt::ISODate)},
                                      {QStringLiteral("data"), event.data}};
            list << QJsonObject{
                {QStringLiteral("port"), visit.port},
                {QStringLiteral("begun"), visit.begun.toString(Qt::ISODate)},
                {QStringLiteral("ended"), visit.ended.isValid()
                                              ? QJsonValue(visit.ended.toString(Qt::ISODate))
                                              : QJsonValue()},
                {QStringLiteral("events"), events}};
        }
        outJson(QJsonDocument(list));
    } else {
        for (const HistoryStore::Visit &visit : visits) {
            out(QStringLiteral("%1\t%2").arg(
                visit.begun.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), visit.port));
            for (const HistoryStore::Event &event : visit.events)
                out(QStringLiteral("  %1\t%2")
                        .arg(event.at.toString(QStringLiteral("HH:mm:ss")), event.kind));
        }
    }
    if (visits.isEmpty())
        err(text(NoVisits).arg(serialNumber, native(m_history->path())));
    return m_history->problem().isEmpty() ? Done : BadFile;
}
