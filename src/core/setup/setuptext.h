#pragma once

#include <QString>

// The reading of labelled values in setup texts: the device's setup print (answer to "spr") and
// the setup text file, which imitates it. What the values mean is read in setupfields.

// The number after `key` in `text`: everything between the key and the next ":" is skipped, the
// value ends at the line end, at the first blank or at the end of the text, and must be a whole
// number with a decimal point. NoValue when the key, its colon or a readable value is missing.
double ParseKeyValue(const QString &key, const QString &text);

// The text with every character removed that is not a digit, a point or a comma.
QString ExtractNumber(const QString &text);
