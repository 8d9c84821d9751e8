#pragma once

#include <QString>

#include <cstdint>
#include <optional>

// General helpers shared by every window.

// The real number meaning "no value"; a result counts as a value only when it is greater.
inline constexpr double NoValue = -2147483647.0;

inline bool HasValue(double v) {
    return v > NoValue;
}

// The value rounded to an integer, a half going to the even neighbour; nothing when the result
// does not fit 32 signed bits (or the value is no number at all).
std::optional<std::int32_t> NearestInt(double value);

// The text with its first "," replaced by ".".
QString CommaToPoint(QString text);

// Removes blanks and control characters (codes up to 32, line breaks included) from both ends.
QString TrimControl(const QString &text);

// Reads a whole text as a number with a decimal point: optional leading blanks, sign, digits,
// decimals, exponent. Nothing when the text is empty or not entirely such a number.
std::optional<double> ReadPointNumber(const QString &text);

// Number display: rounded to at most `precision` significant digits, written with exactly
// `decimals` digits after the decimal comma; scientific notation when the integer part needs
// more than `precision` digits.
QString FormatFixed(double value, int precision, int decimals);

// The application's title, the caption of its own message boxes.
inline QString ApplicationTitle() {
    return QStringLiteral("Seviceprogramm für KT290");
}

// The directory of the running program file, with a trailing separator.
QString ProgramDir();
