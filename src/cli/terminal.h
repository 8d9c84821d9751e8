#pragma once

#include <QString>

// The command line's two streams, and the few things it needs from the operating system.
namespace Terminal {

// True when standard error goes to a terminal (not into a file or a pipe).
bool standardErrorIsTerminal();

// The result, to standard output. A write that standard output does not take whole (a full
// disk, /dev/full) is remembered: the run then ends with an error, however it went otherwise.
void out(const QString &text);
// Messages, warnings and progress, to standard error.
void err(const QString &text);

// Why standard output did not take the whole result; empty when it did.
QString outputFailure();
// True when standard output's reader went away before the result was written (a pipe closed
// early, as `| head` does); the run ends quietly then.
bool outputClosed();

} // namespace Terminal
