// The update information file from the maker's server.
#include "core/update/updateinfo.h"

#include <QByteArray>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const UpdateInfo info =
        UpdateInfo::FromText(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    info.offersProgram(QStringLiteral("vtk290"));
    UpdateInfo::NewProgramFileName(info.name());
    info.version();
    info.programSha256();
    info.updaterSha256();
    return 0;
}
