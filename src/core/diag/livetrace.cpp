#include "core/diag/livetrace.h"

namespace {

constexpr const char *BreakingMarks[] = {"Lücke", "Anhalten", "Gerät getrennt"};

} // namespace

bool LiveTrace::breaks(const QString &markText) {
    for (const char *mark : BreakingMarks)
        if (markText == QString::fromUtf8(mark))
            return true;
    return false;
}

LiveTrace LiveTrace::of(const QList<LiveSample> &samples, const QList<LiveMark> &marks,
                        qint64 fromMs) {
    LiveTrace trace;
    qsizetype mark = 0;
    std::array<bool, 2> relayOpen{false, false};
    bool first = true;
    for (const LiveSample &sample : samples) {
        const qint64 at = sample.time.toMSecsSinceEpoch();
        // A mark that ends a stretch, since the sample before, begins new pieces.
        bool broken = first;
        for (; mark < marks.size() && marks.at(mark).time.toMSecsSinceEpoch() <= at; ++mark)
            broken = broken || breaks(marks.at(mark).text);
        if (at < fromMs)
            continue;
        first = false;
        if (broken) {
            trace.input.append(QList<QPointF>());
            trace.output.append(QList<QPointF>());
            relayOpen = {false, false};
        }
        trace.input.last().append(QPointF(double(at), sample.input));
        trace.output.last().append(QPointF(double(at), sample.output));
        for (int relay = 0; relay < 2; ++relay) {
            if (!sample.relayBits) {
                relayOpen[relay] = false;
                continue;
            }
            const double level = (*sample.relayBits & (1 << relay)) ? 1.0 : 0.0;
            Pieces &pieces = trace.relays[relay];
            if (!relayOpen[relay]) {
                pieces.append(QList<QPointF>());
                relayOpen[relay] = true;
            } else if (pieces.last().last().y() != level) {
                // A step: the band keeps its height up to the moment of the change.
                pieces.last().append(QPointF(double(at), pieces.last().last().y()));
            }
            pieces.last().append(QPointF(double(at), level));
        }
    }
    return trace;
}
