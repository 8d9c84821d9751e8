#include "allgem.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>

#include <algorithm>
#include <cfenv>
#include <charconv>
#include <cmath>
#include <limits>

std::optional<std::int32_t> NearestInt(double value) {
    if (!std::isfinite(value))
        return std::nullopt;
    // nearbyint rounds in the current mode, which is to-nearest-even unless somebody changed it.
    const int previousMode = std::fegetround();
    std::fesetround(FE_TONEAREST);
    const double rounded = std::nearbyint(value);
    std::fesetround(previousMode);
    if (rounded < double(std::numeric_limits<std::int32_t>::min()) ||
        rounded > double(std::numeric_limits<std::int32_t>::max()))
        return std::nullopt;
    return std::int32_t(rounded);
}

QString CommaToPoint(QString text) {
    const qsizetype comma = text.indexOf(QLatin1Char(','));
    if (comma >= 0)
        text[comma] = QLatin1Char('.');
    return text;
}

QString TrimControl(const QString &text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

std::optional<double> ReadPointNumber(const QString &text) {
    qsizetype i = 0;
    const qsizetype n = text.size();
    auto isDigit = [&](qsizetype k) {
        return k < n && text.at(k) >= QLatin1Char('0') && text.at(k) <= QLatin1Char('9');
    };
    while (i < n && text.at(i) == QLatin1Char(' '))
        ++i;
    const qsizetype start = i;
    if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
        ++i;
    qsizetype digits = 0;
    while (isDigit(i)) {
        ++i;
        ++digits;
    }
    if (i < n && text.at(i) == QLatin1Char('.')) {
        ++i;
        while (isDigit(i)) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0)
        return std::nullopt;
    if (i < n && (text.at(i) == QLatin1Char('e') || text.at(i) == QLatin1Char('E'))) {
        ++i;
        if (i < n && (text.at(i) == QLatin1Char('+') || text.at(i) == QLatin1Char('-')))
            ++i;
        if (!isDigit(i))
            return std::nullopt;
        while (isDigit(i))
            ++i;
    }
    if (i != n)
        return std::nullopt;
    // from_chars reads with a decimal point whatever the locale; it takes no "+" sign.
    QByteArray number = QStringView(text).mid(start).toLatin1();
    if (number.startsWith('+'))
        number.remove(0, 1);
    double value = 0.0;
    const auto [end, error] =
        std::from_chars(number.constData(), number.constData() + number.size(), value);
    if (error != std::errc() || end != number.constData() + number.size())
        return std::nullopt;
    return value;
}

QString FormatFixed(double value, int precision, int decimals) {
    const QLocale german(QLocale::German);
    if (!std::isfinite(value))
        return german.toString(value);
    // Rounding to `precision` significant digits tells where the first digit stands.
    const QString scientific = QString::number(value, 'e', precision - 1);
    const int exponent = scientific.mid(scientific.indexOf(QLatin1Char('e')) + 1).toInt();
    if (value != 0.0 && exponent >= precision) {
        QString mantissa = scientific.left(scientific.indexOf(QLatin1Char('e')));
        if (mantissa.contains(QLatin1Char('.'))) {
            while (mantissa.endsWith(QLatin1Char('0')))
                mantissa.chop(1);
            if (mantissa.endsWith(QLatin1Char('.')))
                mantissa.chop(1);
        }
        return mantissa.replace(QLatin1Char('.'), QLatin1Char(',')) + QLatin1String("E+") +
               QString::number(exponent);
    }
    const int kept = std::min(decimals, precision - 1 - (value == 0.0 ? 0 : exponent));
    QString text = QString::number(value, 'f', std::max(kept, 0));
    if (kept > 0 || decimals > 0) {
        if (!text.contains(QLatin1Char('.')))
            text += QLatin1Char('.');
        const qsizetype have = text.size() - text.indexOf(QLatin1Char('.')) - 1;
        text += QString(decimals - have, QLatin1Char('0'));
    }
    // A value that rounds to zero is shown without its sign.
    const bool allZero = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= QLatin1Char('1') && c <= QLatin1Char('9');
    });
    if (allZero && text.startsWith(QLatin1Char('-')))
        text.remove(0, 1);
    return text.replace(QLatin1Char('.'), QLatin1Char(','));
}

QString ProgramDir() {
    QString dir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}
