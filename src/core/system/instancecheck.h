#pragma once

#include "core/system/instancemark.h"

#include <optional>

// Whether another copy of the program runs: the program's start makes one and hands it to the
// main window, which asks it once. Asked the first time, it sets this copy's mark, which stays
// until the check is destroyed.
class InstanceCheck final {
public:
    explicit InstanceCheck(const QString &folder = InstanceMark::defaultFolder());

    // Whether another copy held its mark when this copy set its own (the answer of the first
    // call, kept). A mark that cannot be set lets the program run without a question.
    bool otherCopiesRun();

private:
    InstanceMark m_mark;
    std::optional<bool> m_othersRun;
};
