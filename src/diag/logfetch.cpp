#include "logfetch.h"

#include "link/allgem.h"
#include "link/deviceprotocol.h"
#include "link/ucom.h"

#include <QDeadlineTimer>

namespace {

constexpr int CollectMs = 2000;
constexpr double PassSeconds = 0.2;

// The device ends each line with CR LF, and the query's trimming took the one after the
// answer's last line away; without it that line and the next one would run together.
QString joinAfterAnswer(const QString &answer, const QString &received) {
    const bool lineEndFirst =
        received.startsWith(QLatin1Char('\r')) || received.startsWith(QLatin1Char('\n'));
    if (answer.isEmpty() || received.isEmpty() || lineEndFirst)
        return answer + received;
    return answer + QLatin1String("\r\n") + received;
}

} // namespace

LogFetch::LogFetch(DeviceProtocol &protocol)
    : m_protocol(protocol) {}

// The deadline is taken before the question, so the question's own time counts against it.
std::optional<QString> LogFetch::run(const Progress &progress) {
    const QDeadlineTimer deadline(CollectMs, Qt::PreciseTimer);
    const QString answer = m_protocol.DeviceQuery(QStringLiteral("log"));
    if (answer.isEmpty())
        return std::nullopt;
    QString text = withoutHeader(answer);
    if (progress)
        progress(text);

    ComLink &link = m_protocol.link();
    bool afterAnswer = true;
    bool received = false;
    do {
        WaitSeconds(PassSeconds);
        link.ComPoll();
        received = !link.ComRxText.isEmpty();
        text = withoutHeader(afterAnswer ? joinAfterAnswer(text, link.ComRxText)
                                         : text + link.ComRxText);
        link.ComRxText.clear();
        afterAnswer = false;
        if (progress)
            progress(text);
    } while (received && !deadline.hasExpired());

    text = TrimControl(text);
    if (progress)
        progress(text);
    return text;
}

QString LogFetch::withoutHeader(const QString &text) {
    qsizetype end = 0;
    while (end < text.size() && text.at(end) != QLatin1Char('\r') &&
           text.at(end) != QLatin1Char('\n'))
        ++end;
    if (!text.left(end).contains(QLatin1String("LogFile")))
        return text;
    if (end < text.size() && text.at(end) == QLatin1Char('\r'))
        ++end;
    if (end < text.size() && text.at(end) == QLatin1Char('\n'))
        ++end;
    return text.mid(end);
}
