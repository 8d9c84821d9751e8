#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

#include <optional>

// What the technician enters for a service record. Customer, site and technician are offered
// again; the order and the findings only for the same device (F.Nr), the result never: it is
// chosen for each record.
struct ServiceRecordForm {
    QString customer;
    QString site; // site and measuring point
    QString order;
    QString technician;
    QString findings;            // findings and work done
    std::optional<bool> inOrder; // nothing: not chosen

    static ServiceRecordForm remembered(const QString &serialNumber);
    void remember(const QString &serialNumber) const;
};

// A setup write of this run into the device: when, how far it came, where its backup is.
struct ServiceRecordWrite {
    QDateTime at;
    int sent = 0;
    int total = 0;
    bool stored = false;
    QString backupPath;
};

// One field of a setup the program wrote since it was started: before (from its backup) and after
// (the device's setup print of the report).
struct ServiceRecordChange {
    QString field;
    QString before;
    QString after;
};

// What the service record holds: the device's identity and values as read when the record was
// made, the form's entries, the device's setup and status print of the report (with the
// report's time), every setup write of this run, the setup before and after the last write.
struct ServiceRecordContent {
    QString deviceType;
    QString serialNumber;
    QString swVersion;
    QString hwVersion;
    QDateTime readAt; // when the values on page 1 were read from the device
    ServiceRecordForm form;
    // Input, output, switch points, relays, error, setup lock; empty: not read (readingsNote).
    QList<QPair<QString, QString>> readings;
    QString readingsNote;
    QDateTime reportAt;                   // when the status report was read
    QString setupSource;                  // where the setup table comes from
    QList<QPair<QString, QString>> setup; // empty: the device gave no setup
    QList<ServiceRecordWrite> writes;     // the writes of this run into this device
    QDateTime writtenAt;                  // valid: the changes belong to the write at this time
    QList<ServiceRecordChange> changes;
    // The device's last visit before this one, from the device history (invalid: none known),
    // and the setup fields changed since then (then, now).
    QDateTime lastVisitAt;
    QList<ServiceRecordChange> sinceLastVisit;
    QStringList reportLines;

    // The head of every page: type, F.Nr and date of reading.
    QString identityLine() const;
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
    // The name offered for a record of this device read at this time.
    static QString suggestedFileName(const QString &serialNumber, const QDateTime &time);
};
