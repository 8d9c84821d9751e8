#pragma once

#include <QNetworkAccessManager>
#include <QObject>
#include <QString>

#include <chrono>

// Fetches one file from the update server into a local file. The transfer runs in a local event
// loop, so the windows go on working meanwhile; the whole file is held in memory and written only
// when it has arrived complete and, where a checksum is given, unaltered.
class Downloader final : public QObject {
    Q_OBJECT

public:
    // Pieces of at most this many bytes are taken from the answer at a time.
    static constexpr qint64 PieceSize = 4095;
    // No further piece is taken once more than this many bytes have arrived.
    static constexpr qint64 ReceiveLimit = 3'000'000;
    static constexpr std::chrono::milliseconds DefaultStallTimeout{30'000};

    explicit Downloader(QObject *parent = nullptr);

    // Creates a new empty file with the prefix "~tm" in the user's temporary directory and
    // returns its full path; the empty text when none can be created.
    static QString MakeTempFileName();

    // Fetches the URL into the destination file. Returns the empty text on success, otherwise a
    // German error text; after a failure the destination is as it was before. With a SHA-256
    // (hex digits) given, a file whose checksum differs counts as a failure.
    QString DownloadFile(const QString &url, const QString &destination,
                         const QString &expectedSha256 = QString());

    // The longest time a transfer may go without any progress before it is given up.
    void setStallTimeout(std::chrono::milliseconds timeout) { m_stallTimeout = timeout; }

signals:
    // The number of bytes received so far, after every piece and once more at the end.
    void progress(qint64 received);

private:
    static QString storeFile(const QString &destination, const QByteArray &data);

    QNetworkAccessManager m_manager;
    std::chrono::milliseconds m_stallTimeout = DefaultStallTimeout;
};
