#pragma once

#include <QDateTime>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QString>

#include <optional>

// The device history: every visit of every amplifier the programs have talked to, with what was
// read, written and reported, in one SQLite file in the program's data folder that both
// programs share. Each event is one transaction (write-ahead log), so that a program killed in
// the middle leaves every completed event and nothing half. The history never stands in the way
// of the device work: a history that cannot be written is said once (problem()) and the work
// goes on; a damaged file is moved aside and said (notice()), never emptied.
class HistoryStore final {
public:
    // The schema this program writes; older files are migrated step by step when opened.
    static constexpr int SchemaVersion = 1;
    // How long a write waits for the other program holding the file before it gives up.
    static constexpr int BusyTimeoutMs = 3000;

    // $XDG_DATA_HOME/vtk290/history.sqlite, by default ~/.local/share/vtk290/history.sqlite;
    // empty without a data folder.
    static QString defaultPath();

    explicit HistoryStore(const QString &path = defaultPath());
    ~HistoryStore();
    HistoryStore(const HistoryStore &) = delete;
    HistoryStore &operator=(const HistoryStore &) = delete;

    // Opens the file, making or migrating it; false when it cannot be used (problem() says why).
    bool open();
    bool isOpen() const { return m_open; }
    QString path() const { return m_path; }
    // Why the history could not be read or written (German); empty while all is well. Kept as
    // first said, so that a front end says it once.
    QString problem() const { return m_problem; }
    // What happened to the file that the user should know (a damaged file moved aside).
    QString notice() const { return m_notice; }

    // A visit: the run of events of one device between connect and disconnect. A device is its
    // F.Nr; the type is kept as last named.
    // Nothing when the history cannot be written.
    std::optional<qint64> beginVisit(const QString &serialNumber, const QString &typeText,
                                     const QString &port, const QDateTime &at);
    bool endVisit(qint64 visit, const QDateTime &at);
    // One event of a visit: its kind ("readout", "setupRead", "setupWrite", "report",
    // "record", "lost", "interrupted", "backup") and what it holds.
    bool record(qint64 visit, const QString &kind, const QJsonObject &data, const QDateTime &at);

    // A note the programs keep in the history itself (for example that the backups were taken
    // in); nothing when it has none.
    std::optional<QString> value(const QString &key);
    bool setValue(const QString &key, const QString &value);

    struct Device {
        QString serialNumber;
        QString typeText;
        QDateTime lastSeen;
        int visits = 0;
    };
    struct Event {
        QString kind;
        QDateTime at;
        QJsonObject data;
    };
    struct Visit {
        qint64 id = 0;
        QString port;
        QDateTime begun;
        QDateTime ended; // invalid while the visit runs or when it was never ended
        QList<Event> events;

        // The visit's last read-out (as `readout --json` gives it); empty without one.
        QJsonObject lastReadout() const;
        // The setup the device had when the visit ended, as rows of field and value: the one
        // written and stored, else the one found or backed up; empty when none is known.
        QJsonArray setupAsLeft() const;
    };
    // The devices seen, the last seen first.
    QList<Device> devices();
    // One device's visits with their events, the oldest first.
    QList<Visit> visits(const QString &serialNumber);

private:
    bool migrate();
    bool fail(const QString &what);
    void moveAside();

    QString m_path;
    QString m_connection;
    bool m_open = false;
    QString m_problem;
    QString m_notice;
};
