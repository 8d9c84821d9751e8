#pragma once

#include <QString>

#include <optional>

// The numbers of the simulation: the input correction measured with the calibration resistor,
// the simulated input as the device reads it, and the numbers the user types.
class SimulationValues final {
public:
    // The part of the difference with and without calibration resistor that the device's own
    // resistors add to the signal.
    static constexpr double CalibrationShare = 0.22;
    static constexpr double MaxOffset = 0.2; // mV/V

    // The input correction from the readings with and without the calibration resistor; nothing
    // when a reading is missing or the correction lies outside 0 to 0.2 mV/V.
    static std::optional<double> offsetFromReadings(double withResistor, double withoutResistor);

    // The simulated input for "mvv0 ": five significant digits in exponent form with a decimal
    // point and at least two exponent digits, as 3.5000E-01.
    static QString deviceInputText(double value);

    // A number as the user types it, with a decimal comma; nothing when the text is no number.
    static std::optional<double> readUserNumber(const QString &text);
    static QString conversionError(const QString &text);
};
