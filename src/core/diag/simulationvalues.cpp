#include "core/diag/simulationvalues.h"

#include "core/link/allgem.h"

#include <QLocale>

#include <cmath>

std::optional<double> SimulationValues::offsetFromReadings(double withResistor,
                                                           double withoutResistor) {
    if (!HasValue(withResistor) || !HasValue(withoutResistor))
        return std::nullopt;
    const double offset = CalibrationShare * (withResistor - withoutResistor);
    if (offset < 0.0 || offset > MaxOffset)
        return std::nullopt;
    return offset;
}

QString SimulationValues::deviceInputText(double value) {
    // The C library writes the exponent form with a point in every locale.
    return QString::asprintf("%.4E", value);
}

std::optional<double> SimulationValues::readUserNumber(const QString &text) {
    QLocale german(QLocale::German);
    // A point is no decimal separator here, and "1.000" is no thousand.
    german.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    const double value = german.toDouble(text, &ok);
    if (!ok || !std::isfinite(value))
        return std::nullopt;
    return value;
}

QString SimulationValues::conversionError(const QString &text) {
    return QStringLiteral("'%1' ist kein gültiger Gleitkommawert").arg(text);
}
