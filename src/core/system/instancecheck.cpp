#include "core/system/instancecheck.h"

InstanceCheck::InstanceCheck(const QString &folder)
    : m_mark(folder) {}

bool InstanceCheck::otherCopiesRun() {
    if (!m_othersRun)
        m_othersRun = m_mark.acquireAndCheckOthers();
    return *m_othersRun;
}
