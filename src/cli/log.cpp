// log: the device's log book.
#include "cli/clitexts.h"
#include "cli/commands.h"
#include "core/device/deviceconversation.h"

namespace Cli {

namespace {

constexpr const char *ProgressLog = "Logbuch: %1 Zeichen …";
constexpr const char *NoLog = "Das Gerät hat sein Logbuch nicht gesendet.";

} // namespace

int Log(Session &session, const QStringList &) {
    if (const int code = session.checkOutputFile(session.options().outputFile))
        return code;
    if (const int code = session.connectDevice())
        return code;
    DeviceConversation &conversation = session.conversation();
    const std::optional<QString> logText = conversation.fetchLog([&session](const QString &soFar) {
        session.progress(text(ProgressLog).arg(soFar.size()));
    });
    session.endProgress();
    if (conversation.isShutDown())
        return Interrupted;
    if (!logText) {
        err(text(NoLog));
        return NoAnswer;
    }
    return session.writeResult(*logText);
}

} // namespace Cli
