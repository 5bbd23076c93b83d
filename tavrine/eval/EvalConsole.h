#pragma once

#include <QString>

namespace tavrine::eval::console {

// One line on standard output (UTF-8, a line feed added), flushed at once so a reader of the pipe sees every row
// as soon as its case is done.
void printLine(const QString& line);

// One message on standard error (UTF-8, a line feed added).
void printError(const QString& message);

// Numbers as the rows print them: fixed decimals with "." whatever the locale ("%.3f" → decimals 3).
QString fixed(double value, int decimals);

} // namespace tavrine::eval::console
