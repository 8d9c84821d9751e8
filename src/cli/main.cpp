#include "commandline.h"
#include "link/qtserialportio.h"
#include "link/ucom.h"
#include "main/deviceconversation.h"
#include "servicecommands.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

void print(std::FILE *stream, const QString &text) {
    std::fputs(text.toUtf8().constData(), stream);
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
        print(stderr, line.error + QStringLiteral("\nHilfe: vtk290-cli --help\n"));
        return ServiceCommands::Usage;
    case CommandLine::Action::Version:
        print(stdout, VersionText() + QLatin1Char('\n'));
        return ServiceCommands::Done;
    case CommandLine::Action::Help:
        print(stdout, HelpText(line.command));
        return ServiceCommands::Done;
    case CommandLine::Action::Run:
        break;
    }

    // 2. The device conversation.
    ComLink link(std::make_unique<QtSerialPortIo>());
    DeviceConversation conversation(link);
    ServiceCommands commands(conversation, line.options);

    // 3. The command, and the port closed at its end.
    const int result = runCommand(commands, line);
    conversation.disconnectDevice();
    return result;
}
