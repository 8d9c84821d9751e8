// Setup texts and files: the file decoding and the reading of labelled values.
#include "core/setup/setupfields.h"
#include "core/setup/setuptext.h"
#include "core/system/textfile.h"

#include <QByteArray>
#include <QString>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = TextFile::decode(bytes).value_or(QString::fromLatin1(bytes));
    for (const char *key :
         {"Version", " Sicherheitsmodus", "Relais1pol", "Relais2pol", "Alarm1hysterese",
          "Alarm2hysterese", "Sicherheitsmodus", "Druckrichtung", "Nullpotimitte",
          "20mA Poti links", "20mA Poti rechts"})
        ParseKeyValue(QLatin1String(key), text);
    SetupTextAccepted(text);
    ExtractNumber(text);
    SetupFieldsFromText(text);
    SetupListFields(text);
    SetupSerialNumber(text);
    return 0;
}
