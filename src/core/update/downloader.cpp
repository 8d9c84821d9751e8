#include "core/update/downloader.h"

#include "core/system/filewriter.h"

#include <QCryptographicHash>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QNetworkProxyFactory>
#include <QNetworkReply>
#include <QTemporaryFile>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

enum class Failure {
    NoInternet,
    OpenFailed,
    QueryFailed,
    NothingAvailable,
    NotStored,
    Broken,
    Stalled,
    TooLarge,
    NotWritable,
    ChecksumMismatch,
};

struct FailureText {
    Failure failure;
    const char *text; // UTF-8
};

// The numbered texts are those the update has always shown; the others name what went wrong.
static constexpr FailureText FailureTexts[] = {
    {Failure::NoInternet, "Die Verbindung zum Internet ist fehlgeschlagen."},
    {Failure::OpenFailed, "Beim download ist ein Fehler aufgetreten. 1"},
    {Failure::QueryFailed, "Beim download ist ein Fehler aufgetreten. 2"},
    {Failure::NothingAvailable, "Beim download ist ein Fehler aufgetreten. 3"},
    {Failure::NotStored, "Beim download ist ein Fehler aufgetreten. 6"},
    {Failure::Broken, "Die Übertragung wurde unterbrochen."},
    {Failure::Stalled, "Der Server hat zu lange keine Daten gesendet."},
    {Failure::TooLarge, "Die Datei ist zu groß (mehr als 3000000 Bytes)."},
    {Failure::NotWritable, "Die Datei \"%1\" kann nicht geschrieben werden: %2."},
    {Failure::ChecksumMismatch, "Die Prüfsumme (SHA-256) der Datei stimmt nicht."},
};

QString failureText(Failure failure) {
    const auto *entry =
        std::find_if(std::begin(FailureTexts), std::end(FailureTexts),
                     [failure](const FailureText &t) { return t.failure == failure; });
    return QString::fromUtf8(entry->text);
}

// Uses the proxy the system is configured with, as a browser on this computer would.
class SystemProxyFactory final : public QNetworkProxyFactory {
public:
    QList<QNetworkProxy> queryProxy(const QNetworkProxyQuery &query) override {
        return systemProxyForQuery(query);
    }
};

// One running transfer: takes the answer in pieces as it arrives and decides how it ended.
class Transfer final {
public:
    Transfer(QNetworkReply &reply, QEventLoop &loop, std::function<void(qint64)> progress)
        : m_reply(reply)
        , m_loop(loop)
        , m_progress(std::move(progress)) {}

    bool ended() const { return m_ended; }
    const QString &error() const { return m_error; }
    const QByteArray &data() const { return m_data; }

    void pump() {
        if (m_ended || !statusAccepted())
            return;
        for (;;) {
            const qint64 available = m_reply.bytesAvailable();
            // Like a blocking read: a piece is taken when it is full or the answer is complete.
            if (available < Downloader::PieceSize && !(m_reply.isFinished() && available > 0))
                break;
            if (m_data.size() > Downloader::ReceiveLimit) {
                fail(Failure::TooLarge);
                return;
            }
            const QByteArray piece = m_reply.read(std::min(Downloader::PieceSize, available));
            if (piece.isEmpty())
                break;
            m_data.append(piece);
            m_progress(m_data.size());
        }
        if (m_reply.isFinished())
            finish();
    }

    void fail(Failure failure) {
        if (m_ended)
            return;
        m_ended = true;
        m_error = failureText(failure);
        m_loop.quit();
        // A reply that has already reported its error (an error status) is only closed.
        if (m_reply.error() != QNetworkReply::NoError)
            m_reply.close();
        else
            m_reply.abort();
    }

private:
    bool answered() const {
        return m_reply.attribute(QNetworkRequest::HttpStatusCodeAttribute).isValid();
    }

    // An error page is never taken for the file.
    bool statusAccepted() {
        const QVariant status = m_reply.attribute(QNetworkRequest::HttpStatusCodeAttribute);
        if (!status.isValid())
            return true;
        const int code = status.toInt();
        if (code >= 200 && code <= 299)
            return true;
        fail(Failure::OpenFailed);
        return false;
    }

    void finish() {
        if (m_reply.error() != QNetworkReply::NoError) {
            if (!m_data.isEmpty())
                fail(Failure::Broken);
            else
                fail(answered() ? Failure::QueryFailed : Failure::OpenFailed);
            return;
        }
        if (m_data.isEmpty()) {
            fail(Failure::NothingAvailable);
            return;
        }
        // The limit is checked before every read, the last one that finds no more data included.
        if (m_data.size() > Downloader::ReceiveLimit) {
            fail(Failure::TooLarge);
            return;
        }
        m_ended = true;
        m_progress(m_data.size());
        m_loop.quit();
    }

    QNetworkReply &m_reply;
    QEventLoop &m_loop;
    std::function<void(qint64)> m_progress;
    QByteArray m_data;
    QString m_error;
    bool m_ended = false;
};

bool checksumMatches(const QByteArray &data, const QString &expectedSha256) {
    const QByteArray actual = QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex();
    return QString::fromLatin1(actual).compare(expectedSha256.trimmed(), Qt::CaseInsensitive) == 0;
}

} // namespace

Downloader::Downloader(QObject *parent)
    : QObject(parent) {
    m_manager.setProxyFactory(new SystemProxyFactory);
}

QString Downloader::MakeTempFileName() {
    QTemporaryFile file(QDir::tempPath() + QStringLiteral("/~tmXXXXXX"));
    file.setAutoRemove(false);
    if (!file.open())
        return QString();
    return QDir::toNativeSeparators(file.fileName());
}

QString Downloader::DownloadFile(const QString &url, const QString &destination,
                                 const QString &expectedSha256) {
    const QUrl address(url, QUrl::StrictMode);
    const QString scheme = address.scheme().toLower();
    if (!address.isValid() || address.host().isEmpty() ||
        (scheme != QLatin1String("http") && scheme != QLatin1String("https")))
        return failureText(Failure::NoInternet);

    QNetworkRequest request(address);
    request.setHeader(QNetworkRequest::UserAgentHeader, QStringLiteral("Mozilla 3.0 (compatible)"));
    // Full pieces are taken at every arrival, so the reply's own buffer stays small.
    std::unique_ptr<QNetworkReply> reply(m_manager.get(request));

    QEventLoop loop;
    Transfer transfer(*reply, loop, [this](qint64 received) { emit progress(received); });
    QTimer stall;
    stall.setSingleShot(true);
    stall.setInterval(m_stallTimeout);
    connect(&stall, &QTimer::timeout, &loop, [&transfer] { transfer.fail(Failure::Stalled); });
    const auto moved = [&stall] {
        stall.start();
    };
    connect(reply.get(), &QNetworkReply::metaDataChanged, &loop, moved);
    connect(reply.get(), &QNetworkReply::downloadProgress, &loop, moved);
    connect(reply.get(), &QNetworkReply::readyRead, &loop, [&transfer, &stall] {
        stall.start();
        transfer.pump();
    });
    connect(reply.get(), &QNetworkReply::finished, &loop, [&transfer] { transfer.pump(); });
    stall.start();

    transfer.pump();
    if (!transfer.ended())
        loop.exec();
    // The loop also ends when the application is told to quit.
    if (!transfer.ended())
        transfer.fail(Failure::Broken);
    stall.stop();
    if (!transfer.error().isEmpty())
        return transfer.error();
    if (!expectedSha256.isEmpty() && !checksumMatches(transfer.data(), expectedSha256))
        return failureText(Failure::ChecksumMismatch);
    return storeFile(destination, transfer.data());
}

QString Downloader::storeFile(const QString &destination, const QByteArray &data) {
    // A failed write leaves neither a broken file nor a half-replaced one.
    if (destination.isEmpty())
        return failureText(Failure::NotStored);
    if (const QString reason = FileWriter::save(destination, data); !reason.isEmpty())
        return failureText(Failure::NotWritable).arg(QDir::toNativeSeparators(destination), reason);
    return QString();
}
