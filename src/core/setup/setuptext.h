#pragma once

#include <QString>

// Reading of labelled setup texts: the device's setup print (answer to "spr") and the setup
// text file, which imitates it.

// The number after `key` in `text`: everything between the key and the next ":" is skipped, the
// value ends at the line end, at the first blank or at the end of the text, and must be a whole
// number with a decimal point. NoValue when the key, its colon or a readable value is missing.
double ParseKeyValue(const QString &key, const QString &text);

// The text with every character removed that is not a digit, a point or a comma.
QString ExtractNumber(const QString &text);

// A setup text is taken when its format version is at least 3 and it carries the safety mode
// with its leading blank (the device prints every label after a blank).
bool SetupTextAccepted(const QString &text);
