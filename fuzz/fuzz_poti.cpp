// The answer to "poti": five potentiometer positions and their report lines.
#include "core/diag/statusreport.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString answer =
        QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    StatusReport::potentiometerLines(StatusReport::parsePotentiometers(answer));
    StatusReport::splitLines(answer);
    return 0;
}
