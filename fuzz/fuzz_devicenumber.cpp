// Device answers: number answers, numbers, the version answer.
#include "core/device/devicereadout.h"
#include "core/link/allgem.h"
#include "core/link/deviceprotocol.h"

#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QString answer =
        QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    for (const char *command : {"fehl", "P2", "mvv0", ""}) {
        const double value = DeviceProtocol::ReadNumberAnswer(QLatin1String(command), answer);
        if (HasValue(value))
            NearestInt(value);
    }
    ReadPointNumber(answer);
    TrimControl(answer);
    CommaToPoint(answer);
    ReadoutView view;
    DeviceReadout::readVersions(answer, view);
    if (const auto number = ReadPointNumber(TrimControl(answer)))
        FormatFixed(*number, 5, 3);
    return 0;
}
