#pragma once

#include "core/diag/livesampler.h"

#include <QList>
#include <QPointF>

#include <array>

// What the live view's chart draws of a recording, and only what it saw: the input and output
// lines and the relays' bands, each in pieces that break where no values came (a gap, a hold,
// the device lost) and, for a band, where its relay's state is not known. x is the time in ms
// since the epoch.
struct LiveTrace {
    using Pieces = QList<QList<QPointF>>;
    Pieces input;
    Pieces output;
    // Per relay the pieces of its band's outline: y 1 while energised, 0 while not, a step at
    // each change.
    std::array<Pieces, 2> relays;

    // The samples from `fromMs` on, broken at the marks that end a stretch of values.
    static LiveTrace of(const QList<LiveSample> &samples, const QList<LiveMark> &marks,
                        qint64 fromMs = 0);
    // Whether a mark ends a stretch of values (gap, hold, device lost).
    static bool breaks(const QString &markText);
};
