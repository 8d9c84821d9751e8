#include "cli/commandline.h"

#include "core/vtk290version.h"

#include <QRegularExpression>

#include <algorithm>
#include <optional>

namespace {

struct OptionInfo {
    const char *name;
    const char *argument; // nullptr for a switch
    const char *help;
};

constexpr OptionInfo Options[] = {
    {"--port", "COMn|PFAD|ADRESSE",
     "diese Schnittstelle statt der Suche über COM1 … COM8 (COMn wie im Programm, auch über "
     "VTK290_PORTS; ADRESSE: rfc2217://HOST:PORT oder tcp://HOST:PORT)"},
    {"--json", nullptr, "das Ergebnis als JSON"},
    {"--all", nullptr, "jede Schnittstelle fragen, eine Zeile je Schnittstelle"},
    {"-o", "DATEI",
     "das Ergebnis in diese Datei statt auf die Standardausgabe (Windows-1252, CR LF, wie "
     "\"Speichern unter\")"},
    {"--dry-run", nullptr, "nur die Unterschiede zeigen, nichts schreiben"},
    {"--no-backup", nullptr, "auch schreiben, wenn keine Sicherung möglich ist"},
    {"--latest", nullptr, "die neueste Sicherung des angeschlossenen Geräts"},
    {"--trace", nullptr,
     "jede gesendete und empfangene Zeichengruppe mit Zeitstempel auf die Standardfehlerausgabe"},
};

struct CommandInfo {
    const char *name;
    const char *operands; // as the synopsis shows them
    int minOperands;
    int maxOperands;
    QStringList options;
    const char *help;
};

const QList<CommandInfo> &commands() {
    static const QStringList Device{QStringLiteral("--port"), QStringLiteral("--trace")};
    static const QList<CommandInfo> Commands{
        {"scan", "", 0, 0, Device + QStringList{"--all", "--json"},
         "sucht das Gerät: COM-Name, Systempfad und Antwort auf \"Name\"; mit --all jede "
         "Schnittstelle mit dem, was sie zeigt (KT 290 mit Typ und F.Nr, ein anderes Gerät, "
         "keine Antwort, belegt, keine Berechtigung, nicht vorhanden)"},
        {"readout", "", 0, 0, Device + QStringList{"--json"},
         "die Anzeige des Hauptfensters: Typ, Hardware- und Softwareversion, F.Nr, "
         "Setupsperre, Fehler, Eingang, Ausgang, SP1, SP2, beide Relais; --json: ein "
         "JSON-Objekt, Zahlen mit Dezimalpunkt, null ohne Wert"},
        {"report", "", 0, 0, Device + QStringList{"-o"}, "der Statusbericht wie im Statusfenster"},
        {"log", "", 0, 0, Device + QStringList{"-o"}, "das Logbuch des Geräts"},
        {"setup get", "DATEI", 1, 1, Device, "speichert das Setup des Geräts als Setup-Datei"},
        {"setup diff", "DATEI", 1, 1, Device,
         "zeigt die Felder, in denen Gerät und Datei sich unterscheiden; Rückgabewert 0, wenn "
         "sie übereinstimmen, 1, wenn sie sich unterscheiden"},
        {"setup put", "DATEI", 1, 1, Device + QStringList{"--dry-run", "--no-backup"},
         "zeigt die Unterschiede, sichert das Setup des Geräts, schreibt das Setup der Datei, "
         "liest es zurück und vergleicht"},
        {"setup restore", "--latest | DATEI", 0, 1,
         Device + QStringList{"--latest", "--dry-run", "--no-backup"},
         "spielt eine Sicherung zurück, wie setup put (auch sie wird vorher gesichert); "
         "--latest: die neueste Sicherung des angeschlossenen Geräts"},
        {"backups",
         "[F.Nr]",
         0,
         1,
         {QStringLiteral("--json")},
         "listet die Sicherungen, die neueste zuerst: Zeit, F.Nr, Typ, Pfad; mit F.Nr nur die "
         "dieses Geräts"},
        {"history",
         "[F.Nr]",
         0,
         1,
         {QStringLiteral("--json")},
         "die Gerätehistorie: die Geräte (F.Nr, Typ, zuletzt gesehen, Besuche); mit F.Nr die "
         "Besuche dieses Geräts mit ihren Ereignissen (ausgelesen, Setup wie vorgefunden, "
         "geschrieben, Bericht), der älteste zuerst"},
    };
    return Commands;
}

const CommandInfo *findCommand(const QString &name) {
    for (const CommandInfo &command : commands()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

const OptionInfo *findOption(const QString &name) {
    for (const OptionInfo &option : Options) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

// Lines of at most 72 characters, each after `indent`.
QString wrapped(const QString &paragraph, int indent) {
    QString result;
    QString line;
    for (const QString &word : paragraph.split(QLatin1Char(' '), Qt::SkipEmptyParts)) {
        if (!line.isEmpty() && indent + line.size() + 1 + word.size() > 92) {
            result += QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
            line.clear();
        }
        line += (line.isEmpty() ? QString() : QStringLiteral(" ")) + word;
    }
    if (!line.isEmpty())
        result += QString(indent, QLatin1Char(' ')) + line + QLatin1Char('\n');
    return result;
}

QString synopsis(const CommandInfo &command) {
    QString line = QStringLiteral("vtk290-cli ") + QLatin1String(command.name);
    if (*command.operands)
        line += QLatin1Char(' ') + text(command.operands);
    for (const QString &name : command.options) {
        if (command.operands == std::string_view("--latest | DATEI") && name == "--latest")
            continue;
        const OptionInfo *option = findOption(name);
        line += QStringLiteral(" [") + name +
                (option->argument ? QLatin1Char(' ') + text(option->argument) : QString()) +
                QLatin1Char(']');
    }
    return line;
}

QString optionLines(const QStringList &names) {
    QString result;
    for (const OptionInfo &option : Options) {
        if (!names.isEmpty() && !names.contains(QLatin1String(option.name)))
            continue;
        const QString head =
            QLatin1String(option.name) +
            (option.argument ? QLatin1Char(' ') + text(option.argument) : QString());
        result += QStringLiteral("  ") + head + QLatin1Char('\n') + wrapped(text(option.help), 6);
    }
    return result;
}

constexpr const char *GeneralHead = R"(Aufruf: vtk290-cli [Optionen] BEFEHL [ANGABEN]
       vtk290-cli help [BEFEHL] | BEFEHL --help | --version

Service am KT 290 ohne Fenster, über dieselbe Verbindung wie vtk290. Das Ergebnis (Anzeige,
JSON, Bericht, Logbuch, Unterschiede, Listen) geht auf die Standardausgabe, jede Meldung,
Warnung und Fortschrittsanzeige auf die Standardfehlerausgabe.

Befehle:
)";

constexpr const char *GeneralTail = R"(
Allgemein:
  -h, --help            dieser Text; nach einem Befehl dessen Hilfe
  -V, --version         die Version des Programms

Eine Option, die nicht zum Befehl gehört, ist ein falscher Aufruf. Ausgabedateien, der Ordner
der Sicherungen und die Setup-Datei werden geprüft, bevor die Schnittstelle geöffnet wird.

Vor jedem Schreiben wird das Setup des Geräts gesichert in
  $XDG_DATA_HOME/vtk290/backups (sonst ~/.local/share/vtk290/backups)
als KT290-<F.Nr>-<JJJJMMTT-hhmmss>.txt; der Pfad steht auf der Standardfehlerausgabe.
Ohne XDG_DATA_HOME und HOME gibt es keinen Ordner dafür: geschrieben wird dann nur mit
--no-backup.

Rückgabewerte:
  0    erledigt; setup diff: Gerät und Datei stimmen überein
  1    setup diff: Gerät und Datei unterscheiden sich
  2    falscher Aufruf
  3    kein Gerät gefunden (auch: die Schnittstelle gibt es nicht, ist belegt oder verboten)
  4    das Gerät hat nicht oder nicht vollständig geantwortet
  5    eine Datei kann nicht gelesen oder geschrieben werden, enthält kein (vollständiges)
       Setup, oder keine Sicherung ist möglich
  6    das zurückgelesene Setup weicht vom geschriebenen ab
  130  unterbrochen (Strg+C, SIGTERM, SIGHUP): das Gerät bleibt an einer sicheren Stelle;
       ein begonnenes Schreiben des Setups wird bis "swr1" fertig geschrieben, ein zweites
       Strg+C bricht es nach dem laufenden Befehl ab
)";

} // namespace

QString VersionText() {
    return QStringLiteral("vtk290-cli %1.%2.%3.%4")
        .arg(Vtk290Version::Major)
        .arg(Vtk290Version::Minor)
        .arg(Vtk290Version::Release)
        .arg(Vtk290Version::Build);
}

QString HelpText(const QString &name) {
    if (name.isEmpty()) {
        QString help = text(GeneralHead);
        for (const CommandInfo &command : commands()) {
            help += QStringLiteral("  ") + QLatin1String(command.name) +
                    (*command.operands ? QLatin1Char(' ') + text(command.operands) : QString()) +
                    QLatin1Char('\n') + wrapped(text(command.help), 6);
        }
        help += QStringLiteral("\nOptionen (jeweils nur für die Befehle, zu denen sie gehören):\n");
        help += optionLines({});
        return help + text(GeneralTail);
    }
    if (name == QLatin1String("setup")) {
        // Every setup command, one after the other.
        QString help;
        for (const CommandInfo &command : commands()) {
            const QString each = QLatin1String(command.name);
            if (each.startsWith(QLatin1String("setup ")))
                help += (help.isEmpty() ? QString() : QStringLiteral("\n")) + HelpText(each);
        }
        return help;
    }
    const CommandInfo *command = findCommand(name);
    if (!command)
        return {};
    return QStringLiteral("Aufruf: ") + synopsis(*command) + QStringLiteral("\n\n") +
           wrapped(text(command->help), 0) +
           (command->options.isEmpty()
                ? QString()
                : QStringLiteral("\nOptionen:\n") + optionLines(command->options)) +
           QStringLiteral("\nRückgabewerte und alles Weitere: vtk290-cli --help\n");
}

CommandLine ParseCommandLine(const QStringList &arguments) {
    CommandLine line;
    const auto fail = [&line](const QString &error) {
        line.action = CommandLine::Action::Error;
        line.error = error;
        return line;
    };
    bool help = false;
    QStringList words;
    QStringList given; // the options in the call, for the check against the command
    ServiceCommands::Options &options = line.options;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        QString arg = arguments.at(i);
        // "--port=COM3" as "--port COM3".
        std::optional<QString> attached;
        if (!optionsEnded && arg.startsWith(QLatin1String("--")) &&
            arg.contains(QLatin1Char('='))) {
            attached = arg.section(QLatin1Char('='), 1);
            arg = arg.section(QLatin1Char('='), 0, 0);
        }
        if (optionsEnded) {
            words << arg;
        } else if (arg == QLatin1String("--")) {
            // What follows is operands only, a file named "-x" among them.
            optionsEnded = true;
        } else if (attached && !(findOption(arg) && findOption(arg)->argument)) {
            return fail(findOption(arg) ? text("%1 nimmt keinen Wert.").arg(arg)
                                        : text("Unbekannte Option: %1").arg(arg));
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            help = true;
        } else if (arg == QLatin1String("-V") || arg == QLatin1String("--version")) {
            line.action = CommandLine::Action::Version;
            return line;
        } else if (const OptionInfo *option = findOption(arg)) {
            given << arg;
            if (option->argument) {
                const QString value = attached                   ? *attached
                                      : i + 1 < arguments.size() ? arguments.at(++i)
                                                                 : QString();
                if (value.isEmpty())
                    return fail(text("%1 braucht einen Wert.").arg(arg));
                (arg == QLatin1String("--port") ? options.port : options.outputFile) = value;
            } else {
                bool &flag = arg == QLatin1String("--json")      ? options.json
                             : arg == QLatin1String("--all")     ? options.all
                             : arg == QLatin1String("--dry-run") ? options.dryRun
                             : arg == QLatin1String("--latest")  ? options.latest
                             : arg == QLatin1String("--trace")   ? options.trace
                                                                 : options.noBackup;
                flag = true;
            }
        } else if (arg.startsWith(QLatin1Char('-')) && arg.size() > 1) {
            return fail(text("Unbekannte Option: %1").arg(arg));
        } else {
            words << arg;
        }
    }

    if (words.value(0) == QLatin1String("help")) {
        help = true;
        words.removeFirst();
        const qsizetype named = words.value(0) == QLatin1String("setup") ? 2 : 1;
        if (words.size() > named)
            return fail(text("help nennt höchstens einen Befehl."));
    }
    if (words.isEmpty()) {
        if (!help)
            return fail(text("Kein Befehl angegeben."));
        line.action = CommandLine::Action::Help;
        return line;
    }
    QString name = words.takeFirst();
    if (name == QLatin1String("setup")) {
        const QString verb = words.value(0);
        if (!findCommand(name + QLatin1Char(' ') + verb)) {
            if (help && verb.isEmpty()) {
                line.action = CommandLine::Action::Help;
                line.command = name;
                return line;
            }
            return fail(text("setup braucht get, diff, put oder restore."));
        }
        name += QLatin1Char(' ') + words.takeFirst();
    }
    const CommandInfo *command = findCommand(name);
    if (!command)
        return fail(text("Unbekannter Befehl: %1").arg(name));
    line.command = name;
    if (help) {
        line.action = CommandLine::Action::Help;
        return line;
    }
    for (const QString &option : std::as_const(given)) {
        if (!command->options.contains(option))
            return fail(text("Die Option %1 gehört nicht zu %2.").arg(option, name));
    }
    if (words.size() < command->minOperands || words.size() > command->maxOperands) {
        if (command->maxOperands == 0)
            return fail(text("Zu viele Angaben für %1.").arg(name));
        if (command->minOperands == 1)
            return fail(text("%1 braucht genau eine Datei.").arg(name));
        return fail(text("Zu viele Angaben für %1.").arg(name));
    }
    if (name == QLatin1String("setup restore") && options.latest == !words.isEmpty())
        return fail(text("setup restore braucht entweder --latest oder eine Datei."));
    if (name == QLatin1String("backups") && !words.isEmpty() &&
        !QRegularExpression(QStringLiteral("^\\d+$")).match(words.first()).hasMatch())
        return fail(text("Die F.Nr %1 ist keine Zahl.").arg(words.first()));
    line.operands = words;
    line.action = CommandLine::Action::Run;
    return line;
}
