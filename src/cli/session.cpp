#include "cli/session.h"

#include "cli/clitexts.h"
#include "cli/terminal.h"
#include "core/device/deviceconversation.h"
#include "core/device/programend.h"
#include "core/link/networkportio.h"
#include "core/link/portaddress.h"
#include "core/link/portnames.h"
#include "core/system/filewriter.h"
#include "core/system/textfile.h"

#include <QFileInfo>
#include <QRegularExpression>

namespace Cli {

namespace {

constexpr const char *NotFoundOnPort = "An %1 antwortet kein KT 290.";
constexpr const char *OtherDevice = "An %1 (%2) antwortet ein anderes Gerät: \"%3\"";
constexpr const char *Denied = "Die Schnittstelle %1 darf nicht geöffnet werden (Gruppe %2).";
constexpr const char *PortBusy =
    "Die Schnittstelle %1 (%2) ist belegt: ein anderes Programm hat sie geöffnet.";
constexpr const char *NoSuchPort = "Die Schnittstelle %1 gibt es nicht.";
constexpr const char *NoSuchPortPath = "Die Schnittstelle %1 (%2) gibt es nicht.";
constexpr const char *NoType = "Das Gerät hat seinen Typ nicht genannt.";
constexpr const char *RestoreHint = "Die Sicherung des vorherigen Setups: %1\n"
                                    "Zurückschreiben mit: vtk290-cli setup put %2";
constexpr const char *NoBackupHint = "Es gibt keine Sicherung des vorherigen Setups.";
constexpr const char *OutputLost =
    "Das Ergebnis wurde nicht vollständig auf die Standardausgabe geschrieben: %1.";

// A path as a shell takes it as one word.
QString shellWord(const QString &path) {
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z0-9_./+:=-]+$"));
    if (plain.match(path).hasMatch())
        return path;
    return QLatin1Char('\'') + QString(path).replace(QLatin1String("'"), QLatin1String("'\\''")) +
           QLatin1Char('\'');
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

Session::Session(DeviceConversation &conversation, Options options)
    : m_conversation(conversation)
    , m_transfer(conversation, m_setup)
    , m_options(std::move(options)) {
    m_clock.start();
    if (m_options.trace)
        m_traceConnection =
            QObject::connect(&m_conversation, &DeviceConversation::traffic,
                             [this](bool sent, const QByteArray &bytes) { trace(sent, bytes); });
}

Session::~Session() {
    QObject::disconnect(m_traceConnection);
}

void Session::trace(bool sent, const QByteArray &bytes) {
    endProgress();
    err(QStringLiteral("%1 %2 %3")
            .arg(m_clock.nsecsElapsed() / 1e9, 9, 'f', 3)
            .arg(QLatin1String(sent ? ">" : "<"), traceText(bytes)));
}

void Session::progress(const QString &line) {
    if (!Terminal::standardErrorIsTerminal() || m_options.trace)
        return;
    // The line is overwritten in place; the blanks clear a longer line before it.
    Terminal::err(QLatin1Char('\r') + line.leftJustified(60));
    m_progressShown = true;
}

void Session::endProgress() {
    if (!m_progressShown)
        return;
    Terminal::err(QLatin1Char('\r') + QString(60, QLatin1Char(' ')) + QLatin1Char('\r'));
    m_progressShown = false;
}

// An operation refused or stopped because the program is ending says nothing of its own: the
// end of the run tells what happened.
int Session::afterOperation(bool ran) const {
    if (m_conversation.isShutDown())
        return Interrupted;
    if (ran)
        return Done;
    err(text(Busy));
    return NoAnswer;
}

QString Session::reportInterruption() const {
    const QString state = ProgramEnd::stateText(m_conversation, ProgramEnd::Front::CommandLine);
    err(state);
    if (m_conversation.lastWrite().cutOff())
        err(m_backupPath.isEmpty()
                ? text(NoBackupHint)
                : text(RestoreHint).arg(native(m_backupPath), restoreArguments()));
    return state;
}

// COMn alone, or a path or network address as the only port there is (COM1).
int Session::choosePorts(int &first, int &last) {
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
QString Session::restoreArguments() const {
    QString arguments = shellWord(native(m_backupPath));
    if (!m_options.port.isEmpty())
        arguments += QStringLiteral(" --port ") + shellWord(m_options.port);
    return arguments;
}

int Session::connectDevice(QString *foundName) {
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

// The model decides which fields a setup and a report have; the type questions tell it.
int Session::identify(bool serial) {
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

int Session::checkOutputFile(const QString &path) {
    if (path.isEmpty())
        return Done;
    const QString reason = FileWriter::problemAt(path);
    if (reason.isEmpty())
        return Done;
    err(text(CannotWrite).arg(native(path), reason));
    return BadFile;
}

int Session::writeResult(const QString &result) {
    const QStringList lines = StatusReport::splitLines(result);
    if (m_options.outputFile.isEmpty()) {
        out(lines.join(QLatin1Char('\n')));
        return Done;
    }
    const QString error = TextFile::save(m_options.outputFile, lines);
    if (!error.isEmpty()) {
        err(text(CannotWrite).arg(native(m_options.outputFile), error));
        return BadFile;
    }
    return Done;
}

// A reader that went away early is no fault.
int Session::withOutput(int code) {
    const QString failure = Terminal::outputFailure();
    if (failure.isEmpty())
        return code;
    Terminal::err(text(OutputLost).arg(failure) + QLatin1Char('\n'));
    return code == Done || code == Differs ? BadFile : code;
}

} // namespace Cli
