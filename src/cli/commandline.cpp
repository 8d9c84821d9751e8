#include "cli/commandline.h"

#include "cli/clitexts.h"
#include "core/vtk290version.h"

#include <optional>

namespace {

using Cli::CommandInfo;
using Cli::FindCommand;
using Cli::FindOption;
using Cli::OptionInfo;
using Cli::text;

// The verbs of a group of commands, as the table names them ("setup": get, diff, put, restore);
// empty for a word that names no group.
QStringList groupVerbs(const QString &word) {
    QStringList verbs;
    for (const CommandInfo &command : Cli::AllCommands()) {
        const QString name = QLatin1String(command.name);
        if (name.section(QLatin1Char(' '), 0, 0) == word && name.contains(QLatin1Char(' ')))
            verbs << name.section(QLatin1Char(' '), 1);
    }
    return verbs;
}

// Lines of at most 92 characters, the indent included (a longer word alone on its line).
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
    // An option that the operands name already ("--latest | DATEI") is not repeated.
    const QStringList operandWords = text(command.operands).split(QLatin1Char(' '));
    for (const QString &name : command.options) {
        if (operandWords.contains(name))
            continue;
        const OptionInfo *option = FindOption(name);
        line += QStringLiteral(" [") + name +
                (option->argument ? QLatin1Char(' ') + text(option->argument) : QString()) +
                QLatin1Char(']');
    }
    return line;
}

QString optionLines(const QStringList &names) {
    QString result;
    for (const OptionInfo &option : Cli::AllOptions()) {
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
        for (const CommandInfo &command : Cli::AllCommands()) {
            help += QStringLiteral("  ") + QLatin1String(command.name) +
                    (*command.operands ? QLatin1Char(' ') + text(command.operands) : QString()) +
                    QLatin1Char('\n') + wrapped(text(command.help), 6);
        }
        help += QStringLiteral("\nOptionen (jeweils nur für die Befehle, zu denen sie gehören):\n");
        help += optionLines({});
        return help + text(GeneralTail);
    }
    if (const QStringList verbs = groupVerbs(name); !verbs.isEmpty()) {
        // Every command of the group, one after the other.
        QString help;
        for (const QString &verb : verbs) {
            help += (help.isEmpty() ? QString() : QStringLiteral("\n")) +
                    HelpText(name + QLatin1Char(' ') + verb);
        }
        return help;
    }
    const CommandInfo *command = FindCommand(name);
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
    Cli::Options &options = line.options;
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
        } else if (attached && !(FindOption(arg) && FindOption(arg)->argument)) {
            return fail(FindOption(arg) ? text("%1 nimmt keinen Wert.").arg(arg)
                                        : text("Unbekannte Option: %1").arg(arg));
        } else if (arg == QLatin1String("-h") || arg == QLatin1String("--help")) {
            help = true;
        } else if (arg == QLatin1String("-V") || arg == QLatin1String("--version")) {
            line.action = CommandLine::Action::Version;
            return line;
        } else if (const OptionInfo *option = FindOption(arg)) {
            given << arg;
            if (option->argument) {
                const QString value = attached                   ? *attached
                                      : i + 1 < arguments.size() ? arguments.at(++i)
                                                                 : QString();
                if (value.isEmpty())
                    return fail(text("%1 braucht einen Wert.").arg(arg));
                options.*option->value = value;
            } else {
                options.*option->flag = true;
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
        const qsizetype named = groupVerbs(words.value(0)).isEmpty() ? 1 : 2;
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
    if (const QStringList verbs = groupVerbs(name); !verbs.isEmpty()) {
        const QString verb = words.value(0);
        if (!verbs.contains(verb)) {
            if (help && verb.isEmpty()) {
                line.action = CommandLine::Action::Help;
                line.command = name;
                return line;
            }
            // "setup braucht get, diff, put oder restore."
            return fail(text("%1 braucht %2 oder %3.")
                            .arg(name, verbs.mid(0, verbs.size() - 1).join(QStringLiteral(", ")),
                                 verbs.last()));
        }
        name += QLatin1Char(' ') + words.takeFirst();
    }
    const CommandInfo *command = FindCommand(name);
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
    if (command->check) {
        if (const QString error = command->check(words, options); !error.isEmpty())
            return fail(error);
    }
    line.entry = command;
    line.operands = words;
    line.action = CommandLine::Action::Run;
    return line;
}
