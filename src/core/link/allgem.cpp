#include "core/link/allgem.h"

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
    // The decimal digits of the value rounded to `precision` places, not the binary value, are
    // rounded to `decimals`: 0.95 is 0.94999… in binary but shows as 1,0 with one decimal.
    QString digits = scientific.left(scientific.indexOf(QLatin1Char('e')));
    digits.remove(QLatin1Char('-'));
    digits.remove(QLatin1Char('.'));
    QString integer;
    QString fraction;
    if (exponent >= 0) {
        integer = digits.left(exponent + 1);
        fraction = digits.mid(exponent + 1);
    } else {
        integer = QStringLiteral("0");
        fraction = QString(-exponent - 1, QLatin1Char('0')) + digits;
    }
    if (fraction.size() > decimals) {
        const bool roundUp = fraction.at(decimals) >= QLatin1Char('5');
        fraction.truncate(decimals);
        if (roundUp) {
            QString all = integer + fraction;
            qsizetype i = all.size() - 1;
            for (; i >= 0 && all.at(i) == QLatin1Char('9'); --i)
                all[i] = QLatin1Char('0');
            if (i < 0)
                all.prepend(QLatin1Char('1'));
            else
                all[i] = QChar(all.at(i).unicode() + 1);
            integer = all.left(all.size() - decimals);
            fraction = all.right(decimals);
        }
    }
    fraction += QString(decimals - fraction.size(), QLatin1Char('0'));
    QString text = integer;
    if (decimals > 0)
        text += QLatin1Char(',') + fraction;
    // A value that rounds to zero is shown without its sign.
    const bool allZero = std::none_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= QLatin1Char('1') && c <= QLatin1Char('9');
    });
    if (value < 0.0 && !allZero)
        text.prepend(QLatin1Char('-'));
    return text;
}

QString ProgramDir() {
    QString dir = QDir::toNativeSeparators(QCoreApplication::applicationDirPath());
    if (!dir.endsWith(QDir::separator()))
        dir += QDir::separator();
    return dir;
}
