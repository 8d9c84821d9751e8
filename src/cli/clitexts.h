#pragma once

#include <QString>

class QJsonDocument;
class QJsonValue;

// What more than one command says, and how every command writes: a result line to standard
// output, a message line to standard error. A command's own texts stay in its own file.
namespace Cli {

// The texts that several commands share.
inline constexpr const char *NotFound = "Kein KT 290 gefunden.";
inline constexpr const char *Busy = "Das Gerät ist mit einer anderen Aufgabe beschäftigt.";
inline constexpr const char *CannotWrite = "Die Datei %1 kann nicht geschrieben werden: %2";
inline constexpr const char *Stopped = "Der Vorgang wurde abgebrochen.";
// In place of a type or an F.Nr that is not known.
inline constexpr const char *UnknownType = "unbekannt";

QString text(const char *utf8);
// The value as JSON: trimmed, null when it is empty.
QJsonValue jsonText(const QString &value);
// A path as the system writes it.
QString native(const QString &path);

// One line of the result, to standard output.
void out(const QString &line);
// One line of a message, warning or error, to standard error.
void err(const QString &line);
// The result as indented JSON, to standard output.
void outJson(const QJsonDocument &document);

} // namespace Cli
