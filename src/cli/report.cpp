// report: the status report as the status window builds it.
#include "cli/clitexts.h"
#include "cli/commands.h"
#include "core/device/deviceconversation.h"
#include "core/history/historyrecorder.h"

namespace Cli {

namespace {

constexpr const char *ProgressReport = "Statusbericht: %1 Zeilen …";
constexpr const char *NoReport =
    "Das Gerät hat nicht vollständig geantwortet; im Bericht ohne Antwort: %1.";

} // namespace

int Report(Session &session, const QStringList &) {
    const QString &outputFile = session.options().outputFile;
    if (const int code = session.checkOutputFile(outputFile))
        return code;
    if (const int code = session.connectDevice())
        return code;
    // The report's questions depend on the model; the type questions tell it.
    if (const int code = session.identify())
        return code;
    DeviceConversation &conversation = session.conversation();
    QStringList lines;
    QStringList unanswered;
    const bool built = conversation.statusReport(
        [&session, &lines](const QString &line) {
            lines << StatusReport::splitLines(line);
            session.progress(text(ProgressReport).arg(lines.size()));
        },
        nullptr, &unanswered);
    session.endProgress();
    if (const int code = session.afterOperation(built))
        return code;
    if (conversation.lastOperationStopped()) {
        err(text(Stopped));
        return NoAnswer;
    }
    if (const int code = session.writeResult(lines.join(QLatin1Char('\n'))))
        return code;
    if (HistoryRecorder *recorder = session.recorder())
        recorder->recordReport(outputFile);
    // The report is given as far as it goes; a script learns that it is not whole.
    if (!unanswered.isEmpty()) {
        err(text(NoReport).arg(unanswered.join(QStringLiteral(", "))));
        return NoAnswer;
    }
    return Done;
}

} // namespace Cli
