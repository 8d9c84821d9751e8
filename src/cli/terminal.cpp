#include "cli/terminal.h"

#include "core/system/filewriter.h"

#include <QtGlobal>

#include <cstdio>

#ifdef Q_OS_WIN
#include <io.h>
#else
#include <unistd.h>
#endif

namespace Terminal {

namespace {
QString g_outputFailure;
bool g_outputClosed = false;
} // namespace

bool standardErrorIsTerminal() {
#ifdef Q_OS_WIN
    return _isatty(2) != 0;
#else
    return isatty(2) != 0;
#endif
}

void out(const QString &text) {
    // What follows a lost part of the result is not written either: the result would have a gap.
    if (g_outputClosed || !g_outputFailure.isEmpty())
        return;
    bool closed = false;
    const QString reason = FileWriter::write(stdout, text.toUtf8(), &closed);
    if (closed)
        g_outputClosed = true;
    else
        g_outputFailure = reason;
}

void err(const QString &text) {
    // Nothing is left to tell of a standard error that does not take a message.
    FileWriter::write(stderr, text.toUtf8());
}

QString outputFailure() {
    return g_outputFailure;
}

bool outputClosed() {
    return g_outputClosed;
}

} // namespace Terminal
