#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the service record holds: the device's identity, the status report's lines and the
// setup as the setup dialogs hold it (German label and value per field).
struct ServiceRecordContent {
    QString deviceType;
    QString serialNumber;
    QString swVersion;
    QString hwVersion;
    QDateTime madeAt;
    QStringList reportLines;
    QList<QPair<QString, QString>> setup;
};

// The service record as a PDF document on A4: a header with the program's logo and the device's
// identity, the report in a fixed-width font, the setup as a table, page numbers. The text is
// real text, so that it can be selected and searched.
class ServiceRecord final {
public:
    static QByteArray render(const ServiceRecordContent &content);
    // Writes the document whole or not at all; the system's reason on failure, empty on success.
    static QString save(const QString &path, const ServiceRecordContent &content);
};
