#include "cli/clitexts.h"

#include "cli/terminal.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonValue>

namespace Cli {

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

QJsonValue jsonText(const QString &value) {
    return value.trimmed().isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(value.trimmed());
}

QString native(const QString &path) {
    return QDir::toNativeSeparators(path);
}

void out(const QString &line) {
    Terminal::out(line + QLatin1Char('\n'));
}

void err(const QString &line) {
    Terminal::err(line + QLatin1Char('\n'));
}

void outJson(const QJsonDocument &document) {
    Terminal::out(QString::fromUtf8(document.toJson(QJsonDocument::Indented)));
}

} // namespace Cli
