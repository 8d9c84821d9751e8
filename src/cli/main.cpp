#include "cli/commandline.h"
#include "core/device/deviceconversation.h"
#include "core/device/programend.h"
#include "core/history/historyrecorder.h"
#include "core/history/historystore.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "cli/servicecommands.h"
#include "core/system/interruptsignals.h"
#include "cli/terminal.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

constexpr const char *OutputLost =
    "Das Ergebnis wurde nicht vollständig auf die Standardausgabe geschrieben: %1.";

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// The run's exit code once its result is out: a result that standard output did not take whole
// is a failed write, whatever the command found. A reader that went away early is no fault.
int withOutput(int code) {
    const QString failure = Terminal::outputFailure();
    if (failure.isEmpty())
        return code;
    Terminal::err(text(OutputLost).arg(failure) + QLatin1Char('\n'));
    return code == ServiceCommands::Done || code == ServiceCommands::Differs
               ? ServiceCommands::BadFile
               : code;
}

// The command on the connected conversation; its exit code.
int runCommand(ServiceCommands &commands, const CommandLine &line) {
    const QString &command = line.command;
    const QString operand = line.operands.value(0);
    if (command == QLatin1String("scan"))
        return commands.scan();
    if (command == QLatin1String("readout"))
        return commands.readout();
    if (command == QLatin1String("report"))
        return commands.report();
    if (command == QLatin1String("log"))
        return commands.log();
    if (command == QLatin1String("backups"))
        return commands.backups(operand);
    if (command == QLatin1String("history"))
        return commands.history(operand);
    if (command == QLatin1String("setup get"))
        return commands.setupGet(operand);
    if (command == QLatin1String("setup diff"))
        return commands.setupDiff(operand);
    // "setup put" and "setup restore": a restore is a put of the backup (--latest: empty).
    return commands.setupPut(operand);
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vtk290"));

    // 1. The call, checked before anything else.
    const CommandLine line = ParseCommandLine(QCoreApplication::arguments().mid(1));
    switch (line.action) {
    case CommandLine::Action::Error:
        Terminal::err(line.error + QStringLiteral("\nHilfe: vtk290-cli --help\n"));
        return ServiceCommands::Usage;
    case CommandLine::Action::Version:
        Terminal::out(VersionText() + QLatin1Char('\n'));
        return withOutput(ServiceCommands::Done);
    case CommandLine::Action::Help:
        Terminal::out(HelpText(line.command));
        return withOutput(ServiceCommands::Done);
    case CommandLine::Action::Run:
        break;
    }

    // 2. The device conversation. An interruption stops it at the next safe point; a second one
    // cuts even a setup write after the command under way.
    ComLink link(std::make_unique<QtSerialPortIo>());
    DeviceConversation conversation(link);
    ServiceCommands commands(conversation, line.options);
    // The device history; one that cannot be written is said once and the work goes on.
    HistoryStore history;
    if (history.open())
        HistoryRecorder::importBackups(history);
    HistoryRecorder recorder(conversation, commands.setupTransfer(), history);
    QObject::connect(&recorder, &HistoryRecorder::problemFound, &conversation,
                     [](const QString &problem) { Terminal::err(problem + QLatin1Char('\n')); });
    commands.setHistory(history, recorder);
    recorder.announce();
    ProgramEnd end(conversation, ProgramEnd::Front::CommandLine);
    InterruptSignals interruptions;
    QObject::connect(&interruptions, &InterruptSignals::interrupted, &end, [&end](int count) {
        const QString said = end.interrupt(count).text;
        if (!said.isEmpty())
            Terminal::err(said + QLatin1Char('\n'));
    });

    // 3. The command, and the port closed at its end; after an interruption, the state the
    // device was left in.
    const int result = runCommand(commands, line);
    const QString interruption =
        end.wasInterrupted() ? commands.reportInterruption() : QString();
    if (!interruption.isEmpty())
        recorder.recordInterruption(interruption);
    conversation.disconnectDevice();
    if (!interruption.isEmpty())
        return ServiceCommands::Interrupted;
    return withOutput(result);
}
