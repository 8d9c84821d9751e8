#include "core/setup/setuptext.h"

#include "core/link/allgem.h"

namespace {

qsizetype skipControl(const QString &text, qsizetype from) {
    while (from < text.size() && text.at(from).unicode() <= 32)
        ++from;
    return from;
}

} // namespace

double ParseKeyValue(const QString &key, const QString &text) {
    const qsizetype keyAt = text.indexOf(key);
    if (keyAt < 0)
        return NoValue;
    const qsizetype colon = text.indexOf(QLatin1Char(':'), skipControl(text, keyAt + key.size()));
    if (colon < 0)
        return NoValue;
    const qsizetype begin = skipControl(text, colon + 1);
    // A value on a last line without line end runs to the end of the text, so a hand-edited
    // file reads its last value like every other one.
    qsizetype end = begin;
    while (end < text.size() && text.at(end) != QLatin1Char('\r') &&
           text.at(end) != QLatin1Char(' '))
        ++end;
    const std::optional<double> value = ReadPointNumber(text.mid(begin, end - begin));
    return value ? *value : NoValue;
}

QString ExtractNumber(const QString &text) {
    QString number;
    for (const QChar c : text) {
        if ((c >= QLatin1Char('0') && c <= QLatin1Char('9')) || c == QLatin1Char('.') ||
            c == QLatin1Char(','))
            number += c;
    }
    return number;
}
