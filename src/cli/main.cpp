#include "cli/clitexts.h"
#include "cli/commandline.h"
#include "cli/session.h"
#include "cli/terminal.h"
#include "core/device/deviceconversation.h"
#include "core/device/programend.h"
#include "core/history/historyrecorder.h"
#include "core/history/historystore.h"
#include "core/link/networkportio.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "core/system/interruptsignals.h"

#include <QCoreApplication>
#include <QStringList>

namespace {

using Cli::text;

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vtk290"));

    // 1. The call, checked before anything else.
    const CommandLine line = ParseCommandLine(QCoreApplication::arguments().mid(1));
    switch (line.action) {
    case CommandLine::Action::Error:
        Terminal::err(line.error + QStringLiteral("\nHilfe: vtk290-cli --help\n"));
        return Cli::Usage;
    case CommandLine::Action::Version:
        Terminal::out(VersionText() + QLatin1Char('\n'));
        return Cli::Session::withOutput(Cli::Done);
    case CommandLine::Action::Help:
        Terminal::out(HelpText(line.command));
        return Cli::Session::withOutput(Cli::Done);
    case CommandLine::Action::Run:
        break;
    }

    // 2. The device conversation. An interruption stops it at the next safe point; a second one
    // cuts even a setup write after the command under way.
    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    DeviceConversation conversation(link);
    Cli::Session session(conversation, line.options);
    // The device history; one that cannot be written is said once and the work goes on.
    HistoryStore history;
    if (history.open())
        HistoryRecorder::importBackups(history);
    HistoryRecorder recorder(conversation, session.setupTransfer(), history);
    QObject::connect(&recorder, &HistoryRecorder::problemFound, &conversation,
                     [](const QString &problem) { Terminal::err(problem + QLatin1Char('\n')); });
    session.setHistory(history, recorder);
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
    const int result = line.entry->run(session, line.operands);
    const QString interruption = end.wasInterrupted() ? session.reportInterruption() : QString();
    if (!interruption.isEmpty())
        recorder.recordInterruption(interruption);
    conversation.disconnectDevice();
    if (!interruption.isEmpty())
        return Cli::Interrupted;
    return Cli::Session::withOutput(result);
}
