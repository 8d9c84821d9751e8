#include "core/diag/logfetch.h"

#include "core/link/allgem.h"
#include "core/link/deviceprotocol.h"
#include "core/link/ucom.h"

#include <QDeadlineTimer>

namespace {

constexpr int CollectMs = 2000;
constexpr double PassSeconds = 0.2;

} // namespace

LogFetch::LogFetch(DeviceProtocol &protocol)
    : m_protocol(protocol) {}

// The deadline is taken before the question, so the question's own time counts against it.
std::optional<QString> LogFetch::run(const Progress &progress) {
    const QDeadlineTimer deadline(CollectMs, Qt::PreciseTimer);
    const QString answer = m_protocol.DeviceQuery(QStringLiteral("log"));
    if (answer.isEmpty())
        return std::nullopt;
    // The query's trimming took the end of its piece away; a line end among it belongs to the
    // log, but an entry cut in the middle (one poll moves at most 255 bytes) goes on in the
    // next piece.
    QString text = withoutHeader(answer + m_protocol.lastAnswerEnd());
    if (progress)
        progress(text);

    ComLink &link = m_protocol.link();
    bool received = false;
    do {
        m_protocol.Pause(PassSeconds);
        if (m_protocol.ended())
            break;
        link.ComPoll();
        received = !link.ComRxText.isEmpty();
        text = withoutHeader(withoutSetupPrint(text + link.ComRxText));
        link.ComRxText.clear();
        if (progress)
            progress(text);
    } while (received && !deadline.hasExpired());

    text = TrimControl(text);
    if (progress)
        progress(text);
    return text;
}

// A setup print that came late (its question went unanswered in time) ends with its "poti[0]"
// line; the log follows it.
QString LogFetch::withoutSetupPrint(const QString &text) {
    const qsizetype printEnd = text.lastIndexOf(QLatin1String("poti[0]"));
    if (printEnd < 0)
        return text;
    qsizetype end = printEnd;
    while (end < text.size() && text.at(end) != QLatin1Char('\n'))
        ++end;
    return text.mid(end < text.size() ? end + 1 : printEnd);
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
