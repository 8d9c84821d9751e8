#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// What the technician enters for a service record; the last entries are offered again.
struct ServiceRecordForm {
    QString customer;
    QString site; // site and measuring point
    QString order;
    QString technician;
    QString findings; // findings and work done
    bool inOrder = true;

    static ServiceRecordForm remembered();
    void remember() const;
};

// One field of a setup the program wrote since it was started: before (from its backup) and after
// (the device's setup print of the report).
struct ServiceRecordChange {
    QString field;
    QString before;
    QString after;
};

// What the service record holds: the device's identity at the time of reading, the form's
// entries, the read-out values, the device's setup, the setup before and after a write, and the
// device's own status print as an appendix.
struct ServiceRecordContent {
    QString deviceType;
    QString serialNumber;
    QString swVersion;
    QString hwVersion;
    QDateTime readAt; // when the device was read for the report
    ServiceRecordForm form;
    QList<QPair<QString, QString>> readings; // input, output, switch points, relays
    QString setupSource;                     // where the setup table comes from
    QList<QPair<QString, QString>> setup;    // empty: the device gave no setup
    QDateTime writtenAt;                     // valid: a setup was written since the start
    QList<ServiceRecordChange> changes;
    QStringList reportLines;

    // The head of every page and of the text save: type, F.Nr and date of reading.
    QString identityLine() const;
    // The lines that open the text save.
    QStringList textHead() const;
};

// The service record as a PDF document on A4: every page with a head naming the device and the
// date of reading and with "Seite n von m"; the text is real text, so that it can be selected and
// searched.
class ServiceRecord final {
public:
    static QByteArray render(const ServiceRecordContent &content);
    // Writes the document whole or not at all; the reason on failure, empty on success.
    static QString save(const QString &path, const ServiceRecordContent &content);
    static QString dateText(const QDateTime &time);
};
