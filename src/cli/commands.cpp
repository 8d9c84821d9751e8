#include "cli/commands.h"

#include "cli/clitexts.h"

#include <QRegularExpression>

namespace Cli {

const QList<OptionInfo> &AllOptions() {
    static const QList<OptionInfo> List{
        {"--port", "COMn|PFAD|ADRESSE",
         "diese Schnittstelle statt der Suche über COM1 … COM8 (COMn wie im Programm, auch über "
         "VTK290_PORTS; ADRESSE: rfc2217://HOST:PORT oder tcp://HOST:PORT)",
         &Options::port, nullptr},
        {"--json", nullptr, "das Ergebnis als JSON", nullptr, &Options::json},
        {"--all", nullptr, "jede Schnittstelle fragen, eine Zeile je Schnittstelle", nullptr,
         &Options::all},
        {"-o", "DATEI",
         "das Ergebnis in diese Datei statt auf die Standardausgabe (Windows-1252, CR LF, wie "
         "\"Speichern unter\")",
         &Options::outputFile, nullptr},
        {"--dry-run", nullptr, "nur die Unterschiede zeigen, nichts schreiben", nullptr,
         &Options::dryRun},
        {"--no-backup", nullptr, "auch schreiben, wenn keine Sicherung möglich ist", nullptr,
         &Options::noBackup},
        {"--latest", nullptr, "die neueste Sicherung des angeschlossenen Geräts", nullptr,
         &Options::latest},
        {"--trace", nullptr,
         "jede gesendete und empfangene Zeichengruppe mit Zeitstempel auf die "
         "Standardfehlerausgabe",
         nullptr, &Options::trace},
    };
    return List;
}

const QList<CommandInfo> &AllCommands() {
    static const QStringList Device{QStringLiteral("--port"), QStringLiteral("--trace")};
    static const QList<CommandInfo> List{
        {"scan", "", 0, 0, Device + QStringList{"--all", "--json"},
         "sucht das Gerät: COM-Name, Systempfad und Antwort auf \"Name\"; mit --all jede "
         "Schnittstelle mit dem, was sie zeigt (KT 290 mit Typ und F.Nr, ein anderes Gerät, "
         "keine Antwort, belegt, keine Berechtigung, nicht vorhanden)",
         Scan},
        {"readout", "", 0, 0, Device + QStringList{"--json"},
         "die Anzeige des Hauptfensters: Typ, Hardware- und Softwareversion, F.Nr, "
         "Setupsperre, Fehler, Eingang, Ausgang, SP1, SP2, beide Relais; --json: ein "
         "JSON-Objekt, Zahlen mit Dezimalpunkt, null ohne Wert",
         Readout},
        {"report", "", 0, 0, Device + QStringList{"-o"}, "der Statusbericht wie im Statusfenster",
         Report},
        {"log", "", 0, 0, Device + QStringList{"-o"}, "das Logbuch des Geräts", Log},
        {"setup get", "DATEI", 1, 1, Device, "speichert das Setup des Geräts als Setup-Datei",
         SetupGet},
        {"setup diff", "DATEI", 1, 1, Device,
         "zeigt die Felder, in denen Gerät und Datei sich unterscheiden; Rückgabewert 0, wenn "
         "sie übereinstimmen, 1, wenn sie sich unterscheiden",
         SetupDiff},
        {"setup put", "DATEI", 1, 1, Device + QStringList{"--dry-run", "--no-backup"},
         "zeigt die Unterschiede, sichert das Setup des Geräts, schreibt das Setup der Datei, "
         "liest es zurück und vergleicht",
         SetupPut},
        {"setup restore", "--latest | DATEI", 0, 1,
         Device + QStringList{"--latest", "--dry-run", "--no-backup"},
         "spielt eine Sicherung zurück, wie setup put (auch sie wird vorher gesichert); "
         "--latest: die neueste Sicherung des angeschlossenen Geräts",
         // A restore is a put of the backup; --latest leaves the file to be chosen.
         SetupPut,
         [](const QStringList &operands, const Options &options) {
             return options.latest == !operands.isEmpty()
                        ? text("setup restore braucht entweder --latest oder eine Datei.")
                        : QString();
         }},
        {"backups", "[F.Nr]", 0, 1, QStringList{QStringLiteral("--json")},
         "listet die Sicherungen, die neueste zuerst: Zeit, F.Nr, Typ, Pfad; mit F.Nr nur die "
         "dieses Geräts",
         Backups,
         [](const QStringList &operands, const Options &) {
             static const QRegularExpression number(QStringLiteral("^\\d+$"));
             return !operands.isEmpty() && !number.match(operands.first()).hasMatch()
                        ? text("Die F.Nr %1 ist keine Zahl.").arg(operands.first())
                        : QString();
         }},
        {"history", "[F.Nr]", 0, 1, QStringList{QStringLiteral("--json")},
         "die Gerätehistorie: die Geräte (F.Nr, Typ, zuletzt gesehen, Besuche); mit F.Nr die "
         "Besuche dieses Geräts mit ihren Ereignissen (ausgelesen, Setup wie vorgefunden, "
         "geschrieben, Bericht), der älteste zuerst",
         History},
    };
    return List;
}

const OptionInfo *FindOption(const QString &name) {
    for (const OptionInfo &option : AllOptions()) {
        if (name == QLatin1String(option.name))
            return &option;
    }
    return nullptr;
}

const CommandInfo *FindCommand(const QString &name) {
    for (const CommandInfo &command : AllCommands()) {
        if (name == QLatin1String(command.name))
            return &command;
    }
    return nullptr;
}

} // namespace Cli
