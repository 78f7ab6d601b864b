#pragma once

#include <QString>

namespace ringlark {

// The program's one reader of "the numeric value of a text": blanks, tabs and line feeds are
// dropped anywhere, then the longest leading decimal number (sign, full stop, exponent) is
// taken; &H and &O read hexadecimal and octal. A text that does not begin with a number
// reads as 0. The result may be infinite for texts such as "1e999".
double leadingNumber(const QString &text);

// A timer interval in milliseconds from a number of seconds given as text: rounded half to
// even, negatives as 0 (a timer that never fires), and clamped to what a timer can hold.
int intervalMilliseconds(const QString &secondsText);

// A check box state (0 or 1 and the like) from a stored flag text, rounded to an integer.
int flagValue(const QString &text);

} // namespace ringlark
