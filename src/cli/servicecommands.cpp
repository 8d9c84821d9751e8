#include "servicecommands.h"

#include "link/portnames.h"
#include "link/ucom.h"
#include "main/deviceconversation.h"
#include "setup/setupbackup.h"
#include "setup/setupfields.h"
#include "setup/setupfile.h"
#include "setup/setuptext.h"
#include "terminal.h"

#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QJsonValue>
#include <QRegularExpression>

#include <cstdio>

namespace {

constexpr const char *NotFound = "Kein KT 290 gefunden.";
constexpr const char *NotFoundOnPort = "An %1 antwortet kein KT 290.";
constexpr const char *Denied = "Die Schnittstelle %1 darf nicht geöffnet werden (Gruppe %2).";
constexpr const char *PortBusy =
    "Die Schnittstelle %1 ist belegt: ein anderes Programm hat sie geöffnet.";
constexpr const char *BadPort = "Unbekannte Schnittstelle: %1";
constexpr const char *NoReadout =
    "Das Gerät hat nicht vollständig geantwortet, ohne Wert sind: %1.";
constexpr const char *NoType = "Das Gerät hat seinen Typ nicht genannt.";
constexpr const char *NoSetup = "Das Gerät hat sein Setup nicht gesendet.";
constexpr const char *NoLog = "Das Gerät hat sein Logbuch nicht gesendet.";
constexpr const char *Busy = "Das Gerät ist mit einer anderen Aufgabe beschäftigt.";
constexpr const char *CannotRead = "Die Datei %1 kann nicht gelesen werden: %2";
constexpr const char *NotASetup = "Die Datei %1 enthält kein Setup.";
constexpr const char *CannotWrite = "Die Datei %1 kann nicht geschrieben werden: %2";
constexpr const char *Incomplete =
    "Das Setup der Datei %1 ist unvollständig, ohne Wert sind: %2. Nichts wurde geschrieben.";
constexpr const char *NoDifference = "Gerät und Datei unterscheiden sich nicht.";
constexpr const char *NothingWritten = "Nichts wurde geschrieben.";
constexpr const char *BackupFailed = "Die Sicherung des Geräte-Setups ist misslungen: %1\n"
                                     "Ohne Sicherung schreibt vtk290-cli nur mit --no-backup.";
constexpr const char *Written = "Das Setup wurde geschrieben und stimmt mit der Datei überein.";
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
constexpr const char *BackupMade = "Das Setup des Geräts wurde gesichert: %1";
constexpr const char *NoBackupHint = "Es gibt keine Sicherung des vorherigen Setups.";

constexpr const char *ProgressReadout = "Gerät wird ausgelesen …";
constexpr const char *ProgressReport = "Statusbericht: %1 Zeilen …";
constexpr const char *ProgressLog = "Logbuch: %1 Zeichen …";
constexpr const char *ProgressSetup = "Setup wird gelesen …";
constexpr const char *ProgressWrite = "Setup wird geschrieben …";

constexpr const char *ReadoutLabels[] = {
    "Typ",      "Hardwareversion", "Softwareversion", "F.Nr", "Setupsperre",
    "Fehler",   "Eingang",         "Ausgang",         "SP1",  "SP2",
    "Relais 1", "Relais 2",
};
constexpr const char *NoError = "keiner";
constexpr const char *RelayClosed = "geschlossen";
constexpr const char *RelayOpen = "offen";
constexpr const char *DifferenceHeader[] = {"Feld", "Gerät", "Datei"};

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

void write(std::FILE *stream, const QString &line) {
    std::fputs(line.toUtf8().constData(), stream);
    std::fflush(stream);
}

void out(const QString &line) {
    write(stdout, line + QLatin1Char('\n'));
}

void err(const QString &line) {
    write(stderr, line + QLatin1Char('\n'));
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

QJsonValue number(const std::optional<double> &value) {
    return value ? QJsonValue(*value) : QJsonValue(QJsonValue::Null);
}

QJsonValue text(const QString &value) {
    return value.trimmed().isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value.trimmed());
}

QString relayText(const std::optional<int> &bits, int bit) {
    if (!bits)
        return {};
    return text((*bits & bit) ? RelayClosed : RelayOpen);
}

QJsonValue relayJson(const std::optional<int> &bits, int bit) {
    return bits ? QJsonValue(bool(*bits & bit)) : QJsonValue(QJsonValue::Null);
}

// What the main window shows as the input: the field of the panel it shows.
QString inputText(const ReadoutView &view) {
    return view.showStrainGaugePanel ? view.inputStrainGauge : view.inputCurrentPanel;
}

// The labels of the values the device did not give, in the order of ReadoutLabels. The
// versions are not counted: they are shown as the device named them.
QStringList missingValues(const ReadoutView &view) {
    const bool given[] = {
        !view.typeText.isEmpty(),
        true,
        true,
        bool(view.serialValue),
        bool(view.setupLocked),
        bool(view.errorCode),
        bool(view.inputValue),
        bool(view.outputValue),
        bool(view.switchPoint1Value),
        bool(view.switchPoint2Value),
        bool(view.relayBits),
        bool(view.relayBits),
    };
    static_assert(std::size(given) == std::size(ReadoutLabels));
    QStringList missing;
    for (std::size_t i = 0; i < std::size(ReadoutLabels); ++i) {
        if (!given[i])
            missing << text(ReadoutLabels[i]);
    }
    return missing;
}

} // namespace

ServiceCommands::ServiceCommands(DeviceConversation &conversation, Options options)
    : m_conversation(conversation)
    , m_options(std::move(options)) {}

void ServiceCommands::progress(const QString &line) {
    if (!Terminal::standardErrorIsTerminal())
        return;
    // The line is overwritten in place; the blanks clear a longer line before it.
    write(stderr, QLatin1Char('\r') + line.leftJustified(60));
    m_progressShown = true;
}

void ServiceCommands::endProgress() {
    if (!m_progressShown)
        return;
    write(stderr, QLatin1Char('\r') + QString(60, QLatin1Char(' ')) + QLatin1Char('\r'));
    m_progressShown = false;
}

// An operation refused because the program is ending says nothing of its own: the end of the
// run tells what happened.
int ServiceCommands::refused() const {
    if (m_conversation.isShutDown())
        return Interrupted;
    err(text(Busy));
    return NoAnswer;
}

void ServiceCommands::reportInterruption() const {
    const DeviceConversation::WriteProgress write = m_conversation.lastWrite();
    if (write.cutOff()) {
        err(text(WriteCutOff).arg(write.sent).arg(write.total));
        err(m_backupPath.isEmpty()
                ? text(NoBackupHint)
                : text(RestoreHint).arg(native(m_backupPath), shellWord(native(m_backupPath))));
    } else if (write.stored) {
        err(text(InterruptedAfterWrite));
    } else {
        err(text(InterruptedSafely));
    }
}

int ServiceCommands::connectDevice(QString *foundName) {
    std::optional<ConnectionScan::Result> result;
    const QString &port = m_options.port;
    if (port.isEmpty()) {
        result = m_conversation.connectDevice();
    } else if (port.startsWith(QLatin1String("COM"), Qt::CaseInsensitive)) {
        bool ok = false;
        const int n = port.mid(3).toInt(&ok);
        if (!ok || n < ConnectionScan::FirstPort || n > ConnectionScan::LastPort) {
            err(text(BadPort).arg(port));
            return Usage;
        }
        result = m_conversation.connectDevice(n);
    } else {
        // A port given by its path is the program's only port, COM1.
        qputenv("VTK290_PORTS", QFile::encodeName(port));
        result = m_conversation.connectDevice(ConnectionScan::FirstPort);
    }
    if (m_conversation.isShutDown())
        return Interrupted;
    if (!result || !result->found) {
        if (result && !result->deniedPort.isEmpty())
            err(text(Denied).arg(result->deniedPort, result->deniedGroup));
        if (result && !result->busyPort.isEmpty())
            err(text(PortBusy).arg(result->busyPort));
        err(port.isEmpty() ? text(NotFound) : text(NotFoundOnPort).arg(port));
        return NoDevice;
    }
    if (foundName)
        *foundName = result->name;
    return Done;
}

// The model decides which fields a setup has; the read-out tells it.
int ServiceCommands::readModel() {
    progress(text(ProgressReadout));
    const std::optional<ReadoutView> view = m_conversation.readout();
    endProgress();
    if (!view)
        return refused();
    if (m_conversation.isShutDown())
        return Interrupted;
    if (view->typeText.isEmpty()) {
        err(text(NoType));
        return NoAnswer;
    }
    return Done;
}

int ServiceCommands::readDeviceSetup(QString &print) {
    progress(text(ProgressSetup));
    const std::optional<QString> answer = m_conversation.readSetup();
    endProgress();
    if (!answer)
        return refused();
    if (m_conversation.isShutDown())
        return Interrupted;
    if (!SetupTextAccepted(*answer)) {
        err(text(NoSetup));
        return NoAnswer;
    }
    print = *answer;
    return Done;
}

int ServiceCommands::loadSetupFile(const QString &path, QString &setupText) {
    const SetupFile::Loaded loaded = SetupFile::load(path);
    if (!loaded.error.isEmpty()) {
        err(text(CannotRead).arg(native(path), loaded.error));
        return BadFile;
    }
    if (!SetupTextAccepted(loaded.text)) {
        err(text(NotASetup).arg(native(path)));
        return BadFile;
    }
    setupText = loaded.text;
    return Done;
}

int ServiceCommands::scan() {
    QString name;
    if (const int code = connectDevice(&name))
        return code;
    const QString com = QStringLiteral("COM%1").arg(m_conversation.port());
    out(QStringLiteral("%1\t%2\t%3").arg(com, PortNames::systemLocation(com), name));
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

QJsonObject ServiceCommands::readoutJson(const ReadoutView &view) {
    QJsonObject object;
    object[QStringLiteral("type")] = text(view.typeText);
    object[QStringLiteral("hardwareVersion")] = text(view.hwVersion);
    object[QStringLiteral("softwareVersion")] = text(view.swVersion);
    object[QStringLiteral("serialNumber")] =
        view.serialValue ? QJsonValue(*view.serialValue) : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("setupLock")] =
        view.setupLocked ? QJsonValue(*view.setupLocked) : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("errorCode")] =
        view.errorCode ? QJsonValue(*view.errorCode) : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("errorText")] =
        view.errorText ? text(*view.errorText) : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("input")] = number(view.inputValue);
    object[QStringLiteral("inputUnit")] =
        view.inputValue
            ? QJsonValue(view.strainGauge ? QStringLiteral("mV/V") : QStringLiteral("mA"))
            : QJsonValue(QJsonValue::Null);
    object[QStringLiteral("output")] = number(view.outputValue);
    object[QStringLiteral("sp1")] = number(view.switchPoint1Value);
    object[QStringLiteral("sp2")] = number(view.switchPoint2Value);
    object[QStringLiteral("relay1Closed")] = relayJson(view.relayBits, 1);
    object[QStringLiteral("relay2Closed")] = relayJson(view.relayBits, 2);
    return object;
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
    if (!view)
        return refused();
    if (m_conversation.isShutDown())
        return Interrupted;
    if (m_options.json)
        write(stdout,
              QString::fromUtf8(QJsonDocument(readoutJson(*view)).toJson(QJsonDocument::Indented)));
    else
        out(readoutLines(*view).join(QLatin1Char('\n')));
    if (const QStringList missing = missingValues(*view); !missing.isEmpty()) {
        err(text(NoReadout).arg(missing.join(QStringLiteral(", "))));
        return NoAnswer;
    }
    return Done;
}

int ServiceCommands::report() {
    if (const int code = connectDevice())
        return code;
    if (const int code = readModel())
        return code;
    QStringList lines;
    const bool built = m_conversation.statusReport([this, &lines](const QString &line) {
        lines << StatusReport::splitLines(line);
        progress(text(ProgressReport).arg(lines.size()));
    });
    endProgress();
    if (!built)
        return refused();
    if (m_conversation.isShutDown())
        return Interrupted;
    if (m_conversation.lastOperationStopped()) {
        err(text(Stopped));
        return NoAnswer;
    }
    if (m_options.outputFile.isEmpty()) {
        out(lines.join(QLatin1Char('\n')));
        return Done;
    }
    const QString error = SetupFile::save(m_options.outputFile, SetupFile::encode(lines));
    if (!error.isEmpty()) {
        err(text(CannotWrite).arg(native(m_options.outputFile), error));
        return BadFile;
    }
    return Done;
}

int ServiceCommands::log() {
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
    out(StatusReport::splitLines(*logText).join(QLatin1Char('\n')));
    return Done;
}

int ServiceCommands::setupGet(const QString &path) {
    if (const int code = connectDevice())
        return code;
    QString print;
    if (const int code = readDeviceSetup(print))
        return code;
    const QByteArray bytes = SetupFile::encode(
        SetupFile::lines(SetupFieldsFromText(print), QDateTime::currentDateTime()));
    const QString error = SetupFile::save(path, bytes);
    if (!error.isEmpty()) {
        err(text(CannotWrite).arg(native(path), error));
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

int ServiceCommands::setupDiff(const QString &path) {
    QString fileText;
    if (const int code = loadSetupFile(path, fileText))
        return code;
    if (const int code = connectDevice())
        return code;
    if (const int code = readModel())
        return code;
    QString print;
    if (const int code = readDeviceSetup(print))
        return code;
    const QList<SetupDifference> differences = SetupDifferences(
        SetupFieldsFromText(print), SetupFieldsFromText(fileText), m_conversation.isStrainGauge());
    if (differences.isEmpty())
        out(text(NoDifference));
    else
        out(differenceLines(differences).join(QLatin1Char('\n')));
    return Done;
}

int ServiceCommands::setupPut(const QString &path) {
    QString fileText;
    if (const int code = loadSetupFile(path, fileText))
        return code;
    const SetupFields wanted = SetupFieldsFromText(fileText);
    // Without knowing the model yet, the fields every model needs are checked before the port
    // is opened; the strain-gauge part once the model is known.
    QStringList missing = MissingSetupFields(wanted, false);
    if (missing.isEmpty()) {
        if (const int code = connectDevice())
            return code;
        if (const int code = readModel())
            return code;
        missing = MissingSetupFields(wanted, m_conversation.isStrainGauge());
    }
    if (!missing.isEmpty()) {
        err(text(Incomplete).arg(native(path), missing.join(QStringLiteral(", "))));
        return BadFile;
    }
    const bool strainGauge = m_conversation.isStrainGauge();
    QString print;
    if (const int code = readDeviceSetup(print))
        return code;
    const QList<SetupDifference> differences =
        SetupDifferences(SetupFieldsFromText(print), wanted, strainGauge);
    if (differences.isEmpty()) {
        out(text(NoDifference));
        out(text(NothingWritten));
        return Done;
    }
    out(differenceLines(differences).join(QLatin1Char('\n')));
    if (m_options.dryRun) {
        out(text(NothingWritten));
        return Done;
    }

    const SetupBackup::Result backup = SetupBackup::make(m_conversation);
    if (m_conversation.isShutDown())
        return Interrupted;
    m_backupPath = backup.path;
    if (!m_backupPath.isEmpty())
        err(text(BackupMade).arg(native(m_backupPath)));
    if (!backup.error.isEmpty() && !m_options.noBackup) {
        err(text(BackupFailed).arg(backup.error));
        return backup.noAnswer ? NoAnswer : BadFile;
    }

    progress(text(ProgressWrite));
    const bool written = m_conversation.writeSetup(wanted);
    endProgress();
    if (!written)
        return refused();
    if (m_conversation.isShutDown())
        return Interrupted;
    if (m_conversation.lastWrite().cutOff()) {
        reportInterruption();
        return NoAnswer;
    }
    if (m_conversation.lastOperationStopped()) {
        err(text(Stopped));
        return NoAnswer;
    }
    QString readBack;
    if (const int code = readDeviceSetup(readBack))
        return code;
    const QList<SetupDifference> remaining =
        SetupDifferences(SetupFieldsFromText(readBack), wanted, strainGauge);
    if (!remaining.isEmpty()) {
        err(text(ReadBackDiffersText));
        err(differenceLines(remaining).join(QLatin1Char('\n')));
        return ReadBackDiffers;
    }
    out(text(Written));
    return Done;
}
