#include "link/interruptsignals.h"
#include "link/qtserialportio.h"
#include "link/ucom.h"
#include "main/deviceconversation.h"
#include "servicecommands.h"

#include <QCoreApplication>
#include <QStringList>

#include <cstdio>

namespace {

constexpr const char *Help = R"(Aufruf: vtk290-cli [Optionen] BEFEHL

Service am KT 290 ohne Fenster, über dieselbe Verbindung wie vtk290.

Befehle:
  scan                  sucht das Gerät: COM-Name, Systempfad und Antwort auf "Name"
  readout [--json]      die Anzeige des Hauptfensters: Typ, Hardware- und Softwareversion,
                        F.Nr, Setupsperre, Fehler, Eingang, Ausgang, SP1, SP2, beide Relais;
                        --json: ein JSON-Objekt, Zahlen mit Dezimalpunkt, null ohne Wert
  report [-o DATEI]     der Statusbericht wie im Statusfenster; -o speichert ihn wie
                        "Speichern unter" (Windows-1252, CR LF)
  log                   das Logbuch des Geräts
  setup get DATEI       speichert das Setup des Geräts als Setup-Datei
  setup diff DATEI      zeigt die Felder, in denen Datei und Gerät sich unterscheiden
  setup put DATEI       zeigt die Unterschiede, sichert das Setup des Geräts, schreibt das
                        Setup der Datei, liest es zurück und vergleicht

Optionen:
  --port COMn|PFAD      diese Schnittstelle statt der Suche über COM1 … COM8
                        (COMn wie im Programm, auch über VTK290_PORTS); ein
                        Schnittstellen-Server im Netz als rfc2217://HOST:PORT
                        oder tcp://HOST:PORT
  --json                für readout
  -o DATEI              für report
  --dry-run             für setup put: nur die Unterschiede zeigen, nichts schreiben
  --no-backup           für setup put: auch schreiben, wenn die Sicherung misslingt
  -h, --help            dieser Text

Vor jedem Schreiben wird das Setup des Geräts gesichert in
  $XDG_DATA_HOME/vtk290/backups (sonst ~/.local/share/vtk290/backups)
als KT290-<F.Nr>-<JJJJMMTT-hhmmss>.txt.

Rückgabewerte:
  0  erledigt
  1  falscher Aufruf
  2  kein Gerät gefunden
  3  das Gerät hat nicht oder nicht vollständig geantwortet
  4  eine Datei kann nicht gelesen oder geschrieben werden oder enthält kein Setup
  5  das zurückgelesene Setup weicht vom geschriebenen ab
  130  abgebrochen (Strg+C, SIGTERM, SIGHUP): das Gerät bleibt an einer sicheren Stelle;
       ein begonnenes Schreiben des Setups wird bis "swr1" fertig geschrieben, ein zweites
       Strg+C bricht es nach dem laufenden Befehl ab
)";

constexpr const char *Stopping = "Wird abgebrochen …";
constexpr const char *FinishingWrite =
    "Das Setup wird noch fertig geschrieben … (ein zweites Strg+C bricht nach dem laufenden "
    "Befehl ab; das im Gerät gespeicherte Setup ist dann womöglich unvollständig)";
constexpr const char *ForcedStop = "Wird nach dem laufenden Befehl abgebrochen …";

void message(const char *utf8) {
    std::fputs((QString::fromUtf8(utf8) + QLatin1Char('\n')).toUtf8().constData(), stderr);
    std::fflush(stderr);
}

int usage(const QString &message) {
    std::fputs((message + QStringLiteral("\nHilfe: vtk290-cli --help\n")).toUtf8().constData(),
               stderr);
    return ServiceCommands::Usage;
}

} // namespace

int main(int argc, char *argv[]) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("vtk290"));

    ServiceCommands::Options options;
    QStringList words;
    const QStringList args = QCoreApplication::arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &arg = args.at(i);
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= args.size())
                return std::nullopt;
            return args.at(++i);
        };
        if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            std::fputs(Help, stdout);
            return ServiceCommands::Done;
        } else if (arg == QLatin1String("--json")) {
            options.json = true;
        } else if (arg == QLatin1String("--dry-run")) {
            options.dryRun = true;
        } else if (arg == QLatin1String("--no-backup")) {
            options.noBackup = true;
        } else if (arg == QLatin1String("--port") || arg == QLatin1String("-o")) {
            const std::optional<QString> given = value();
            if (!given || given->isEmpty())
                return usage(QStringLiteral("%1 braucht einen Wert.").arg(arg));
            (arg == QLatin1String("--port") ? options.port : options.outputFile) = *given;
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return usage(QStringLiteral("Unbekannte Option: %1").arg(arg));
        } else {
            words << arg;
        }
    }

    const QString command = words.value(0);
    const bool setupCommand = command == QLatin1String("setup");
    const qsizetype expected = setupCommand ? 3 : 1;
    static const QStringList Commands{QStringLiteral("scan"), QStringLiteral("readout"),
                                      QStringLiteral("report"), QStringLiteral("log"),
                                      QStringLiteral("setup")};
    static const QStringList SetupVerbs{QStringLiteral("get"), QStringLiteral("diff"),
                                        QStringLiteral("put")};
    if (command.isEmpty())
        return usage(QStringLiteral("Kein Befehl angegeben."));
    if (!Commands.contains(command))
        return usage(QStringLiteral("Unbekannter Befehl: %1").arg(command));
    if (setupCommand && !SetupVerbs.contains(words.value(1)))
        return usage(QStringLiteral("setup braucht get, diff oder put und eine Datei."));
    if (words.size() != expected)
        return usage(setupCommand
                         ? QStringLiteral("setup %1 braucht genau eine Datei.").arg(words.at(1))
                         : QStringLiteral("Zu viele Angaben für %1.").arg(command));

    ComLink link(std::make_unique<QtSerialPortIo>());
    DeviceConversation conversation(link);
    // An interruption stops at the next safe point; a second one cuts even a setup write after
    // the command under way.
    InterruptSignals interruptions;
    QObject::connect(&interruptions, &InterruptSignals::interrupted, &conversation,
                     [&conversation](int count) {
                         if (count == 1) {
                             message(conversation.isFinishingWrite() ? FinishingWrite : Stopping);
                             conversation.shutDown();
                         } else {
                             if (conversation.isFinishingWrite())
                                 message(ForcedStop);
                             conversation.forceStop();
                         }
                     });
    ServiceCommands commands(conversation, options);
    int result = ServiceCommands::Usage;
    if (command == QLatin1String("scan"))
        result = commands.scan();
    else if (command == QLatin1String("readout"))
        result = commands.readout();
    else if (command == QLatin1String("report"))
        result = commands.report();
    else if (command == QLatin1String("log"))
        result = commands.log();
    else if (words.at(1) == QLatin1String("get"))
        result = commands.setupGet(words.at(2));
    else if (words.at(1) == QLatin1String("diff"))
        result = commands.setupDiff(words.at(2));
    else
        result = commands.setupPut(words.at(2));
    conversation.disconnectDevice();
    if (interruptions.count() > 0) {
        commands.reportInterruption();
        return ServiceCommands::Interrupted;
    }
    return result;
}
