#include "core/history/historystore.h"

#include "core/system/datafolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

namespace {

constexpr const char *NoDataFolder =
    "Die Gerätehistorie kann nicht angelegt werden: weder XDG_DATA_HOME noch HOME ist gesetzt.";
constexpr const char *NotWritable = "Die Gerätehistorie %1 kann nicht geschrieben werden: %2. Die "
                                    "Arbeit am Gerät geht weiter, sie fehlt aber in der Historie.";
constexpr const char *NotReadable = "Die Gerätehistorie %1 kann nicht gelesen werden: %2.";
constexpr const char *Newer = "Die Gerätehistorie %1 stammt von einer neueren Version von vtk290 "
                              "und wird nicht verändert.";
constexpr const char *MovedAside = "Die Gerätehistorie %1 war beschädigt. Sie wurde unverändert "
                                   "nach %2 verschoben; eine neue wurde angelegt.";
constexpr const char *Full = "kein Platz mehr auf dem Datenträger";
constexpr const char *Locked = "ein anderes Programm hält sie länger als %1 Sekunden gesperrt";
constexpr const char *ReadOnly = "keine Berechtigung oder schreibgeschützter Datenträger";
constexpr const char *Damaged = "die Datei ist beschädigt";
constexpr const char *DatabaseError = "Fehler der Datenbank (%1)";

// The schema, one list of statements per step from the version before it.
const QStringList SchemaSteps[] = {
    {
        QStringLiteral("CREATE TABLE meta(key TEXT PRIMARY KEY, value TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE devices(id INTEGER PRIMARY KEY, serial TEXT NOT NULL "
                       "UNIQUE, type TEXT NOT NULL)"),
        QStringLiteral("CREATE TABLE visits(id INTEGER PRIMARY KEY, device INTEGER NOT NULL "
                       "REFERENCES devices(id), port TEXT NOT NULL, begun TEXT NOT NULL, "
                       "ended TEXT)"),
        QStringLiteral("CREATE TABLE events(id INTEGER PRIMARY KEY, visit INTEGER NOT NULL "
                       "REFERENCES visits(id), at TEXT NOT NULL, kind TEXT NOT NULL, "
                       "data TEXT NOT NULL)"),
        QStringLiteral("CREATE INDEX visits_device ON visits(device)"),
        QStringLiteral("CREATE INDEX events_visit ON events(visit)"),
    },
};
static_assert(std::size(SchemaSteps) == HistoryStore::SchemaVersion);

QString text(const char *utf8) {
    return QString::fromUtf8(utf8);
}

QString timeText(const QDateTime &time) {
    return time.toString(Qt::ISODateWithMs);
}

QDateTime timeOf(const QVariant &value) {
    return value.isNull() ? QDateTime()
                          : QDateTime::fromString(value.toString(), Qt::ISODateWithMs);
}

// SQLite's primary result code (the driver may give an extended one).
int resultCode(const QSqlError &error) {
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? code & 0xFF : -1;
}

bool isDamage(const QSqlError &error) {
    const int code = resultCode(error);
    return code == 11 /* SQLITE_CORRUPT */ || code == 26 /* SQLITE_NOTADB */;
}

QString reasonOf(const QSqlError &error) {
    switch (resultCode(error)) {
    case 13: // SQLITE_FULL
        return text(Full);
    case 5: // SQLITE_BUSY
    case 6: // SQLITE_LOCKED
        return text(Locked).arg(HistoryStore::BusyTimeoutMs / 1000);
    case 8:  // SQLITE_READONLY
    case 14: // SQLITE_CANTOPEN
    case 23: // SQLITE_AUTH
        return text(ReadOnly);
    case 11:
    case 26:
        return text(Damaged);
    default:
        return text(DatabaseError)
            .arg(error.text().trimmed().isEmpty() ? error.nativeErrorCode() : error.text());
    }
}

QString native(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// Ends a transaction: committed when its statements went through, rolled back otherwise; an
// invalid error means all was stored.
QSqlError finish(QSqlDatabase &db, const QSqlQuery &query, bool done) {
    QSqlError error = done ? QSqlError() : query.lastError();
    // Not a file's commit: SQLite reports a failed one itself, and its error() is returned.
    if (done && !db.commit())
        error = db.lastError();
    if (error.isValid())
        db.rollback();
    return error;
}

} // namespace

QString HistoryStore::defaultPath() {
    const QString folder = DataFolder();
    return folder.isEmpty() ? QString() : folder + QStringLiteral("/history.sqlite");
}

HistoryStore::HistoryStore(const QString &path)
    : m_path(path)
    , m_connection(QStringLiteral("vtk290-history-%1").arg(quintptr(this), 0, 16)) {}

HistoryStore::~HistoryStore() {
    {
        QSqlDatabase db = QSqlDatabase::database(m_connection, false);
        if (db.isValid())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_connection);
}

bool HistoryStore::fail(const QString &what) {
    if (m_problem.isEmpty())
        m_problem = what;
    return false;
}

bool HistoryStore::open() {
    if (m_path.isEmpty())
        return fail(text(NoDataFolder));
    if (!QDir().mkpath(QFileInfo(m_path).absolutePath()))
        return fail(text(NotWritable).arg(native(m_path), text(ReadOnly)));
    for (int attempt = 0; attempt < 2; ++attempt) {
        QSqlDatabase db = QSqlDatabase::contains(m_connection)
                              ? QSqlDatabase::database(m_connection, false)
                              : QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_connection);
        db.setDatabaseName(m_path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(BusyTimeoutMs));
        if (!db.open())
            return fail(text(NotWritable).arg(native(m_path), reasonOf(db.lastError())));
        QSqlQuery check(db);
        const bool checked = check.exec(QStringLiteral("PRAGMA quick_check")) && check.next();
        const QSqlError error = check.lastError();
        if (checked && check.value(0).toString() == QLatin1String("ok"))
            break;
        check.finish();
        db.close();
        if (!checked && !isDamage(error))
            return fail(text(NotReadable).arg(native(m_path), reasonOf(error)));
        if (attempt > 0)
            return fail(text(NotReadable).arg(native(m_path), text(Damaged)));
        moveAside();
        if (!m_problem.isEmpty())
            return false;
    }
    m_open = migrate();
    return m_open;
}

// The damaged file (with its log) keeps its bytes under a name of its own.
void HistoryStore::moveAside() {
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    const QFileInfo info(m_path);
    const QString aside = info.absolutePath() + QLatin1Char('/') + info.completeBaseName() +
                          QStringLiteral("-beschaedigt-") + stamp + QLatin1Char('.') +
                          info.suffix();
    if (!QFile::rename(m_path, aside)) {
        fail(text(NotWritable).arg(native(m_path), text(Damaged)));
        return;
    }
    for (const char *part : {"-wal", "-shm"})
        QFile::rename(m_path + QLatin1String(part), aside + QLatin1String(part));
    m_notice = text(MovedAside).arg(native(m_path), native(aside));
}

bool HistoryStore::migrate() {
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("PRAGMA user_version")) || !query.next())
        return fail(text(NotReadable).arg(native(m_path), reasonOf(query.lastError())));
    const int version = query.value(0).toInt();
    query.finish();
    if (version > SchemaVersion)
        return fail(text(Newer).arg(native(m_path)));
    // A reader beside a writer, and every committed event on disk when a program is killed.
    query.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
    query.exec(QStringLiteral("PRAGMA synchronous=NORMAL"));
    query.exec(QStringLiteral("PRAGMA foreign_keys=ON"));
    for (int step = version; step < SchemaVersion; ++step) {
        if (!db.transaction())
            return fail(text(NotWritable).arg(native(m_path), reasonOf(db.lastError())));
        bool done = true;
        for (const QString &statement : SchemaSteps[step])
            done = done && query.exec(statement);
        done = done && query.exec(QStringLiteral("PRAGMA user_version=%1").arg(step + 1));
        if (const QSqlError error = finish(db, query, done); error.isValid())
            return fail(text(NotWritable).arg(native(m_path), reasonOf(error)));
    }
    return true;
}

std::optional<qint64> HistoryStore::beginVisit(const QString &serialNumber, const QString &typeText,
                                               const QString &port, const QDateTime &at) {
    if (!m_open)
        return std::nullopt;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    if (!db.transaction()) {
        fail(text(NotWritable).arg(native(m_path), reasonOf(db.lastError())));
        return std::nullopt;
    }
    QSqlQuery query(db);
    // A device is its F.Nr; its type is the last one named.
    query.prepare(
        QStringLiteral("INSERT INTO devices(serial, type) VALUES(?, ?) ON CONFLICT(serial) "
                       "DO UPDATE SET type = excluded.type WHERE excluded.type != ''"));
    // A null text would be bound as NULL.
    const auto notNull = [](const QString &text) {
        return text.isNull() ? QStringLiteral("") : text;
    };
    query.addBindValue(notNull(serialNumber));
    query.addBindValue(notNull(typeText));
    bool done = query.exec();
    query.prepare(QStringLiteral("SELECT id FROM devices WHERE serial = ?"));
    query.addBindValue(notNull(serialNumber));
    done = done && query.exec() && query.next();
    const qint64 device = done ? query.value(0).toLongLong() : 0;
    query.finish();
    query.prepare(QStringLiteral("INSERT INTO visits(device, port, begun) VALUES(?, ?, ?)"));
    query.addBindValue(device);
    query.addBindValue(notNull(port));
    query.addBindValue(timeText(at));
    done = done && query.exec();
    const qint64 visit = done ? query.lastInsertId().toLongLong() : 0;
    if (const QSqlError error = finish(db, query, done); error.isValid()) {
        fail(text(NotWritable).arg(native(m_path), reasonOf(error)));
        return std::nullopt;
    }
    return visit;
}

bool HistoryStore::endVisit(qint64 visit, const QDateTime &at) {
    if (!m_open)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("UPDATE visits SET ended = ? WHERE id = ?"));
    query.addBindValue(timeText(at));
    query.addBindValue(visit);
    if (!query.exec())
        return fail(text(NotWritable).arg(native(m_path), reasonOf(query.lastError())));
    return true;
}

bool HistoryStore::record(qint64 visit, const QString &kind, const QJsonObject &data,
                          const QDateTime &at) {
    if (!m_open)
        return false;
    // One statement: SQLite makes it one transaction of its own.
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("INSERT INTO events(visit, at, kind, data) VALUES(?, ?, ?, ?)"));
    query.addBindValue(visit);
    query.addBindValue(timeText(at));
    query.addBindValue(kind);
    query.addBindValue(QString::fromUtf8(QJsonDocument(data).toJson(QJsonDocument::Compact)));
    if (!query.exec())
        return fail(text(NotWritable).arg(native(m_path), reasonOf(query.lastError())));
    return true;
}

QList<HistoryStore::Device> HistoryStore::devices() {
    QList<Device> devices;
    if (!m_open)
        return devices;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    if (!query.exec(QStringLiteral(
            "SELECT d.serial, d.type, MAX(v.begun), COUNT(v.id) FROM devices d "
            "JOIN visits v ON v.device = d.id GROUP BY d.id ORDER BY MAX(v.begun) DESC"))) {
        fail(text(NotReadable).arg(native(m_path), reasonOf(query.lastError())));
        return devices;
    }
    while (query.next())
        devices << Device{query.value(0).toString(), query.value(1).toString(),
                          timeOf(query.value(2)), query.value(3).toInt()};
    return devices;
}

QList<HistoryStore::Visit> HistoryStore::visits(const QString &serialNumber) {
    QList<Visit> visits;
    if (!m_open)
        return visits;
    QSqlDatabase db = QSqlDatabase::database(m_connection, false);
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT v.id, v.port, v.begun, v.ended FROM visits v JOIN devices d ON v.device = d.id "
        "WHERE d.serial = ? ORDER BY v.begun, v.id"));
    query.addBindValue(serialNumber);
    if (!query.exec()) {
        fail(text(NotReadable).arg(native(m_path), reasonOf(query.lastError())));
        return visits;
    }
    QHash<qint64, qsizetype> index;
    while (query.next()) {
        index.insert(query.value(0).toLongLong(), visits.size());
        visits << Visit{query.value(0).toLongLong(),
                        query.value(1).toString(),
                        timeOf(query.value(2)),
                        timeOf(query.value(3)),
                        {}};
    }
    query.prepare(QStringLiteral(
        "SELECT e.visit, e.at, e.kind, e.data FROM events e JOIN visits v ON e.visit = v.id "
        "JOIN devices d ON v.device = d.id WHERE d.serial = ? ORDER BY e.id"));
    query.addBindValue(serialNumber);
    if (!query.exec()) {
        fail(text(NotReadable).arg(native(m_path), reasonOf(query.lastError())));
        return visits;
    }
    while (query.next()) {
        const auto at = index.constFind(query.value(0).toLongLong());
        if (at == index.constEnd())
            continue;
        visits[*at].events << Event{
            query.value(2).toString(), timeOf(query.value(1)),
            QJsonDocument::fromJson(query.value(3).toString().toUtf8()).object()};
    }
    return visits;
}

std::optional<QString> HistoryStore::value(const QString &key) {
    if (!m_open)
        return std::nullopt;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("SELECT value FROM meta WHERE key = ?"));
    query.addBindValue(key);
    if (!query.exec() || !query.next())
        return std::nullopt;
    return query.value(0).toString();
}

bool HistoryStore::setValue(const QString &key, const QString &value) {
    if (!m_open)
        return false;
    QSqlQuery query(QSqlDatabase::database(m_connection, false));
    query.prepare(QStringLiteral("INSERT OR REPLACE INTO meta(key, value) VALUES(?, ?)"));
    query.addBindValue(key);
    query.addBindValue(value);
    if (!query.exec())
        return fail(text(NotWritable).arg(native(m_path), reasonOf(query.lastError())));
    return true;
}

QJsonObject HistoryStore::Visit::lastReadout() const {
    QJsonObject readout;
    for (const Event &event : events) {
        if (event.kind == QLatin1String("readout"))
            readout = event.data;
    }
    return readout;
}

QJsonArray HistoryStore::Visit::setupAsLeft() const {
    QJsonArray setup;
    for (const Event &event : events) {
        if (event.kind == QLatin1String("setupWrite") && event.data.value("stored").toBool())
            setup = event.data.value("after").toArray();
        else if (event.kind == QLatin1String("setupRead") || event.kind == QLatin1String("backup"))
            setup = event.data.value("setup").toArray();
    }
    return setup;
}
