#include "core/update/downloader.h"
#include "core/update/updateinfo.h"
#include "gui/help/uinfo.h"
#include "gui/main/fmain1.h"
#include "gui/main/windowset.h"
#include "windowrig.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <cctype>
#include <chrono>

using namespace std::chrono_literals;

namespace {

// One canned answer of the test server.
struct Canned {
    enum class Mode {
        Whole,      // the whole body, then the connection is closed
        BreakAfter, // the headers promise the whole body, the connection closes after `cut` bytes
        StallAfter, // `cut` bytes of the body, then nothing more
        Silent,     // the request is taken, no answer at all
    };
    int status = 200;
    QByteArray body;
    Mode mode = Mode::Whole;
    qint64 cut = 0;
};

// A small HTTP server on 127.0.0.1 answering each path with its canned answer (404 for others).
class TestServer final : public QObject {
public:
    TestServer() {
        connect(&m_server, &QTcpServer::newConnection, this, &TestServer::accept);
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    QString baseUrl() const {
        return QStringLiteral("http://127.0.0.1:%1/spezmemb/download/software/")
            .arg(m_server.serverPort());
    }
    quint16 port() const { return m_server.serverPort(); }
    void set(const QString &file, const Canned &answer) {
        m_answers.insert(QStringLiteral("/spezmemb/download/software/") + file, answer);
    }
    const QStringList &requests() const { return m_requests; }

private:
    void accept() {
        while (QTcpSocket *socket = m_server.nextPendingConnection()) {
            socket->setParent(this);
            connect(socket, &QTcpSocket::readyRead, this, [this, socket] { readRequest(socket); });
        }
    }

    void readRequest(QTcpSocket *socket) {
        QByteArray &pending = m_pending[socket];
        pending += socket->readAll();
        if (!pending.contains("\r\n\r\n"))
            return;
        const QList<QByteArray> requestLine = pending.left(pending.indexOf("\r\n")).split(' ');
        pending.clear();
        const QString path = QString::fromLatin1(requestLine.value(1));
        m_requests << path;
        const Canned missing{404, "nicht gefunden", Canned::Mode::Whole, 0};
        answer(socket, m_answers.value(path, missing));
    }

    static void answer(QTcpSocket *socket, const Canned &canned) {
        if (canned.mode == Canned::Mode::Silent)
            return;
        QByteArray head = "HTTP/1.1 " + QByteArray::number(canned.status) + " X\r\n";
        head += "Content-Type: application/octet-stream\r\n";
        head += "Content-Length: " + QByteArray::number(canned.body.size()) + "\r\n";
        head += "Connection: close\r\n\r\n";
        socket->write(head);
        if (canned.mode == Canned::Mode::Whole) {
            socket->write(canned.body);
            socket->disconnectFromHost();
        } else {
            socket->write(canned.body.left(canned.cut));
            if (canned.mode == Canned::Mode::BreakAfter)
                socket->disconnectFromHost();
        }
    }

    QTcpServer m_server;
    QHash<QString, Canned> m_answers;
    QHash<QTcpSocket *, QByteArray> m_pending;
    QStringList m_requests;
};

QByteArray patternBytes(qint64 size) {
    QByteArray bytes(size, Qt::Uninitialized);
    for (qint64 i = 0; i < size; ++i)
        bytes[i] = char((i * 7 + i / 251) & 0xFF);
    return bytes;
}

QString sha256Hex(const QByteArray &data) {
    return QString::fromLatin1(QCryptographicHash::hash(data, QCryptographicHash::Sha256).toHex());
}

QByteArray readAll(const QString &path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QByteArray utf16WithBom(const QString &text) {
    return QByteArray("\xff\xfe", 2) +
           QByteArray(reinterpret_cast<const char *>(text.utf16()), 2 * text.size());
}

QByteArray updateIni(const QString &name, const QString &version, const QString &extra = {}) {
    return QStringLiteral("[KT290Serviceprogramm]\r\nName=%1\r\nVersion=%2\r\n%3")
        .arg(name, version, extra)
        .toUtf8();
}

struct StartedUpdater {
    int calls = 0;
    QString program;
    QStringList arguments;
    QString workingDirectory;
};

} // namespace

Q_DECLARE_METATYPE(Canned)

// The online update: the update information file, the downloads against a local server, and the
// whole flow of the about box's "Programm-Update" button.
class TestUpdate : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void init();
    void cleanup();

    void updateInfoOffers_data();
    void updateInfoOffers();
    void updateInfoChecksums();
    void newProgramFileName_data();
    void newProgramFileName();
    void questionText();
    void serverUrl();
    void updateInfoRandomInput();

    void makeTempFileName();
    void downloadInPieces_data();
    void downloadInPieces();
    void largestFileAccepted();
    void downloadFailures_data();
    void downloadFailures();
    void failureKeepsExistingFile();
    void unwritableDestination();
    void windowRespondsDuringDownload();

    void nothingOffered_data();
    void nothingOffered();
    void cancelDownloadsNothing();
    void offeredVersionShownAsText();
    void failedStepStartsNothing_data();
    void failedStepStartsNothing();
    void fullUpdate();
    void packageInstallationDownloadsNothing();

private:
    QStringList memoLines() const;
    QStringList tempFiles() const;
    void prepareBox(const QString &programPath);
    void runUpdate();

    QTemporaryDir m_root;
    QString m_tempDir;
    std::unique_ptr<TestServer> m_server;
    std::unique_ptr<WindowRig> m_rig;
    FakeSerialPort *m_port = nullptr;
    StartedUpdater m_started;
};

void TestUpdate::initTestCase() {
    QVERIFY(m_root.isValid());
    // Only the local server is ever asked.
    for (const char *name :
         {"http_proxy", "https_proxy", "all_proxy", "HTTP_PROXY", "HTTPS_PROXY", "ALL_PROXY"})
        qunsetenv(name);
    // Closing the main window at the end of an update must not end the test run.
    QApplication::setQuitOnLastWindowClosed(false);
    m_tempDir = m_root.filePath(QStringLiteral("tmp"));
    QVERIFY(QDir().mkpath(m_tempDir));
    qputenv("TMPDIR", m_tempDir.toLocal8Bit());
}

void TestUpdate::init() {
    m_server = std::make_unique<TestServer>();
    qputenv("VTK290_UPDATE_URL", m_server->baseUrl().toUtf8());
    m_started = {};
}

void TestUpdate::cleanup() {
    m_rig.reset();
    m_server.reset();
    for (const QString &name : tempFiles())
        QFile::remove(QDir(m_tempDir).filePath(name));
}

QStringList TestUpdate::memoLines() const {
    return m_rig->windows.aboutBox->Memo1->toPlainText().split(u'\n');
}

QStringList TestUpdate::tempFiles() const {
    return QDir(m_tempDir).entryList({QStringLiteral("~tm*")}, QDir::Files | QDir::Hidden);
}

// The about box of a running program at the given path, version 1.0.0.7, shown.
void TestUpdate::prepareBox(const QString &programPath) {
    m_rig = WindowRig::make({{}, true});
    m_port = m_rig->device;
    m_rig->windows.form1->show();
    TAboutBox *box = m_rig->windows.aboutBox;
    box->setProgramVersion(FileVersion{1, 0, 0, 7});
    box->setProgramFilePath(programPath);
    box->setUpdaterStarter([this](const QString &program, const QStringList &arguments,
                                  const QString &workingDirectory) {
        ++m_started.calls;
        m_started.program = program;
        m_started.arguments = arguments;
        m_started.workingDirectory = workingDirectory;
        return true;
    });
    box->show();
}

void TestUpdate::runUpdate() {
    m_rig->windows.aboutBox->Button4->click();
}

// --- update information -------------------------------------------------------------------

void TestUpdate::updateInfoOffers_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::addColumn<bool>("offered");
    QTest::addColumn<QString>("version");

    QTest::newRow("offered") << updateIni("vtk290.exe", "1.0.0.8") << true << "1.0.0.8";
    QTest::newRow("same version still offered")
        << updateIni("vtk290.exe", "1.0.0.7") << true << "1.0.0.7";
    QTest::newRow("section and keys in other case")
        << QByteArray("[kt290SERVICEprogramm]\nNAME = vtk290.exe\nversion= 2.0 \n") << true
        << "2.0";
    QTest::newRow("quoted value, blanks, comments, CR only")
        << QByteArray(";Kommentar\r[Andere]\rName=x\r[KT290Serviceprogramm]\r"
                      "  Name = \"vtk290.exe\"\rVersion='1.1'\r")
        << true << "1.1";
    QTest::newRow("UTF-16 with byte order mark")
        << utf16WithBom(
               QStringLiteral("[KT290Serviceprogramm]\r\nName=vtk290.exe\r\nVersion=3\r\n"))
        << true << "3";
    QTest::newRow("section missing")
        << QByteArray("[Anderes]\nName=vtk290.exe\nVersion=1\n") << false << "-1";
    QTest::newRow("key outside any section")
        << QByteArray("Name=vtk290.exe\nVersion=1\n[KT290Serviceprogramm]\n") << false << "-1";
    QTest::newRow("Name missing") << QByteArray("[KT290Serviceprogramm]\nVersion=1.0.0.8\n")
                                  << false << "1.0.0.8";
    QTest::newRow("Name differs in case")
        << updateIni("VTK290.exe", "1.0.0.8") << false << "1.0.0.8";
    QTest::newRow("Name of another program")
        << updateIni("vtk291.exe", "1.0.0.8") << false << "1.0.0.8";
    QTest::newRow("Version -1") << updateIni("vtk290.exe", "-1") << false << "-1";
    QTest::newRow("Version missing")
        << QByteArray("[KT290Serviceprogramm]\nName=vtk290.exe\n") << false << "-1";
    QTest::newRow("keys only in a second section of the name")
        << QByteArray("[KT290Serviceprogramm]\nX=1\n[KT290Serviceprogramm]\nName=vtk290.exe\n"
                      "Version=1\n")
        << false << "-1";
    QTest::newRow("empty file") << QByteArray() << false << "-1";
}

void TestUpdate::updateInfoOffers() {
    QFETCH(QByteArray, ini);
    QFETCH(bool, offered);
    QFETCH(QString, version);
    const UpdateInfo info = UpdateInfo::FromText(ini);
    QCOMPARE(info.offersProgram(QStringLiteral("vtk290.exe")), offered);
    QCOMPARE(info.version(), version);
}

void TestUpdate::updateInfoChecksums() {
    const UpdateInfo info = UpdateInfo::FromText(
        updateIni("vtk290.exe", "1", "sha256 = ABCD\r\nUpdaterSha256=ef01\r\n"));
    QCOMPARE(info.programSha256(), QStringLiteral("ABCD"));
    QCOMPARE(info.updaterSha256(), QStringLiteral("ef01"));
    const UpdateInfo plain = UpdateInfo::FromText(updateIni("vtk290.exe", "1"));
    QVERIFY(plain.programSha256().isEmpty());
    QVERIFY(plain.updaterSha256().isEmpty());
    QCOMPARE(UpdateInfo::FromText("[Anderes]\n").name(), QStringLiteral(":"));
}

void TestUpdate::newProgramFileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("expected");
    QTest::newRow("exe") << "vtk290.exe"
                         << "vtk290.ex_";
    QTest::newRow("no extension") << "vtk290"
                                  << "vtk290.ex_";
    QTest::newRow("several points") << "vtk.290.exe"
                                    << "vtk.290.ex_";
    QTest::newRow("ends with point") << "vtk290."
                                     << "vtk290.ex_";
    QTest::newRow("blank in name") << "KT 290.exe"
                                   << "KT 290.ex_";
}

void TestUpdate::newProgramFileName() {
    QFETCH(QString, name);
    QFETCH(QString, expected);
    QCOMPARE(UpdateInfo::NewProgramFileName(name), expected);
}

void TestUpdate::questionText() {
    QCOMPARE(UpdateInfo::QuestionText(QStringLiteral("1.0.0.8"), QStringLiteral("Version 1.0.0.7")),
             QStringLiteral("downloadbare Version: 1.0.0.8     ihre aktuelle Version: "
                            "Version 1.0.0.7     Downloaden?"));
}

void TestUpdate::serverUrl() {
    qputenv("VTK290_UPDATE_URL", "http://127.0.0.1:1/spezmemb/download/software");
    QCOMPARE(UpdateInfo::ServerUrl(QStringLiteral("vtk290.ex_")).toString(),
             QStringLiteral("http://127.0.0.1:1/spezmemb/download/software/vtk290.ex_"));
    QCOMPARE(UpdateInfo::ServerUrl(QStringLiteral("KT 290#1.ex_")).toString(QUrl::FullyEncoded),
             QStringLiteral("http://127.0.0.1:1/spezmemb/download/software/KT%20290%231.ex_"));
    qunsetenv("VTK290_UPDATE_URL");
    const QUrl fallback = UpdateInfo::ServerUrl(QStringLiteral("update.ini"));
    QCOMPARE(fallback.scheme(), QStringLiteral("https"));
    QVERIFY(fallback.path().endsWith(QStringLiteral("/update.ini")));
}

// Arbitrary bytes and mutated update files: the reader never fails, and a key written into an
// otherwise random file is found whatever the case of its section and key names.
void TestUpdate::updateInfoRandomInput() {
    QRandomGenerator random(290);
    static const char characters[] = "[]=;\"' \t\r\nKTNameVersion290.exe\xc3\xa4\xff\x00";
    const QByteArray alphabet(characters, sizeof(characters) - 1);
    for (int round = 0; round < 3000; ++round) {
        QByteArray noise(random.bounded(0, 200), Qt::Uninitialized);
        for (char &c : noise)
            c = random.bounded(4) == 0 ? char(random.bounded(256))
                                       : alphabet.at(random.bounded(alphabet.size()));
        const UpdateInfo fromNoise = UpdateInfo::FromText(noise);
        QVERIFY(!fromNoise.name().contains(u'\n'));
        QVERIFY(!fromNoise.version().contains(u'\r'));

        const QByteArray value = QByteArray::number(random.bounded(1, 100)) + "." +
                                 QByteArray::number(random.bounded(100));
        QByteArray section = "KT290Serviceprogramm";
        QByteArray key = "Version";
        for (QByteArray *name : {&section, &key}) {
            for (char &c : *name)
                c = random.bounded(2) ? char(std::toupper(uchar(c))) : char(std::tolower(uchar(c)));
        }
        // Noise before the section opens none of its own; noise after it sets no key.
        QByteArray before = noise;
        before.replace('[', '(').replace('\0', ' ');
        QByteArray after = before;
        after.replace('=', ' ');
        const QByteArray text =
            "\n" + before + "\n[" + section + "]\n " + key + " = " + value + "\n" + after;
        QCOMPARE(UpdateInfo::FromText(text).version(), QString::fromLatin1(value));
    }
}

// --- downloads --------------------------------------------------------------------------------

void TestUpdate::makeTempFileName() {
    const QString first = Downloader::MakeTempFileName();
    const QString second = Downloader::MakeTempFileName();
    QVERIFY(first != second);
    for (const QString &path : {first, second}) {
        const QFileInfo info(path);
        QVERIFY(info.exists());
        QCOMPARE(info.size(), 0);
        QVERIFY(info.fileName().startsWith(QStringLiteral("~tm")));
        QCOMPARE(QDir(info.absolutePath()).canonicalPath(), QDir(m_tempDir).canonicalPath());
    }
}

void TestUpdate::downloadInPieces_data() {
    QTest::addColumn<qint64>("size");
    QTest::addColumn<QList<qint64>>("progress");
    QTest::newRow("10000 bytes") << qint64(10000) << QList<qint64>{4095, 8190, 10000, 10000};
    QTest::newRow("one piece exactly") << qint64(4095) << QList<qint64>{4095, 4095};
    QTest::newRow("one byte") << qint64(1) << QList<qint64>{1, 1};
}

void TestUpdate::downloadInPieces() {
    QFETCH(qint64, size);
    QFETCH(QList<qint64>, progress);
    const QByteArray body = patternBytes(size);
    m_server->set(QStringLiteral("file.bin"), {200, body, Canned::Mode::Whole, 0});
    Downloader downloader;
    QList<qint64> seen;
    connect(&downloader, &Downloader::progress, this, [&seen](qint64 n) { seen << n; });
    const QString target = m_root.filePath(QStringLiteral("file.bin"));
    QCOMPARE(downloader.DownloadFile(m_server->baseUrl() + "file.bin", target), QString());
    QCOMPARE(seen, progress);
    QCOMPARE(readAll(target), body);
    QFile::remove(target);
}

void TestUpdate::largestFileAccepted() {
    const QByteArray body = patternBytes(Downloader::ReceiveLimit);
    m_server->set(QStringLiteral("big.bin"), {200, body, Canned::Mode::Whole, 0});
    Downloader downloader;
    qint64 last = 0;
    connect(&downloader, &Downloader::progress, this, [&last](qint64 n) { last = n; });
    const QString target = m_root.filePath(QStringLiteral("big.bin"));
    QCOMPARE(downloader.DownloadFile(m_server->baseUrl() + "big.bin", target, sha256Hex(body)),
             QString());
    QCOMPARE(last, Downloader::ReceiveLimit);
    QCOMPARE(readAll(target), body);
    QFile::remove(target);
}

void TestUpdate::downloadFailures_data() {
    QTest::addColumn<Canned>("answer");
    QTest::addColumn<QString>("sha256");
    QTest::addColumn<QString>("error");

    const QByteArray body = patternBytes(10000);
    QTest::newRow("empty file") << Canned{200, {}, Canned::Mode::Whole, 0} << QString()
                                << "Beim download ist ein Fehler aufgetreten. 3";
    QTest::newRow("404 with a body")
        << Canned{404, "<html>Seite nicht gefunden</html>", Canned::Mode::Whole, 0} << QString()
        << "Beim download ist ein Fehler aufgetreten. 1";
    QTest::newRow("500 without a body") << Canned{500, {}, Canned::Mode::Whole, 0} << QString()
                                        << "Beim download ist ein Fehler aufgetreten. 1";
    QTest::newRow("broken in the middle") << Canned{200, body, Canned::Mode::BreakAfter, 5000}
                                          << QString() << "Die Übertragung wurde unterbrochen.";
    QTest::newRow("one byte over the limit")
        << Canned{200, patternBytes(Downloader::ReceiveLimit + 1), Canned::Mode::Whole, 0}
        << QString() << "Die Datei ist zu groß (mehr als 3000000 Bytes).";
    QTest::newRow("stall in the middle")
        << Canned{200, body, Canned::Mode::StallAfter, 100} << QString()
        << "Der Server hat zu lange keine Daten gesendet.";
    QTest::newRow("no answer at all") << Canned{200, body, Canned::Mode::Silent, 0} << QString()
                                      << "Der Server hat zu lange keine Daten gesendet.";
    QTest::newRow("wrong checksum")
        << Canned{200, body, Canned::Mode::Whole, 0} << sha256Hex(body + "x")
        << "Die Prüfsumme (SHA-256) der Datei stimmt nicht.";
    QTest::newRow("checksum not hex") << Canned{200, body, Canned::Mode::Whole, 0} << "nein"
                                      << "Die Prüfsumme (SHA-256) der Datei stimmt nicht.";
}

void TestUpdate::downloadFailures() {
    QFETCH(Canned, answer);
    QFETCH(QString, sha256);
    QFETCH(QString, error);
    m_server->set(QStringLiteral("file.bin"), answer);
    Downloader downloader;
    downloader.setStallTimeout(300ms);
    const QString target = m_root.filePath(QStringLiteral("file.bin"));
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(downloader.DownloadFile(m_server->baseUrl() + "file.bin", target, sha256), error);
    QVERIFY(clock.elapsed() < 5000);
    QVERIFY(!QFile::exists(target));
    QCOMPARE(QDir(m_root.path()).entryList(QDir::Files | QDir::Hidden), QStringList());
}

void TestUpdate::failureKeepsExistingFile() {
    const QString target = m_root.filePath(QStringLiteral("vtk290.ex_"));
    QFile old(target);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("alt");
    old.close();
    m_server->set(QStringLiteral("vtk290.ex_"), {404, "Fehlerseite", Canned::Mode::Whole, 0});
    Downloader downloader;
    QCOMPARE(downloader.DownloadFile(m_server->baseUrl() + "vtk290.ex_", target),
             QStringLiteral("Beim download ist ein Fehler aufgetreten. 1"));
    QCOMPARE(readAll(target), QByteArray("alt"));
    QFile::remove(target);
}

void TestUpdate::unwritableDestination() {
    m_server->set(QStringLiteral("file.bin"), {200, patternBytes(100), Canned::Mode::Whole, 0});
    Downloader downloader;
    const QString target = m_root.filePath(QStringLiteral("fehlt/file.bin"));
    QCOMPARE(downloader.DownloadFile(m_server->baseUrl() + "file.bin", target),
             QStringLiteral("Die Datei \"%1\" kann nicht geschrieben werden: den Ordner %2 gibt "
                            "es nicht.")
                 .arg(QDir::toNativeSeparators(target),
                      QDir::toNativeSeparators(m_root.filePath(QStringLiteral("fehlt")))));
    QVERIFY(!QFileInfo::exists(m_root.filePath(QStringLiteral("fehlt"))));

    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    const quint16 port = closed.serverPort();
    closed.close();
    QCOMPARE(downloader.DownloadFile(QStringLiteral("http://127.0.0.1:%1/x").arg(port),
                                     m_root.filePath(QStringLiteral("x"))),
             QStringLiteral("Beim download ist ein Fehler aufgetreten. 1"));
    QCOMPARE(downloader.DownloadFile(QStringLiteral("ftp://127.0.0.1/x"),
                                     m_root.filePath(QStringLiteral("x"))),
             QStringLiteral("Die Verbindung zum Internet ist fehlgeschlagen."));
}

void TestUpdate::windowRespondsDuringDownload() {
    m_server->set(QStringLiteral("file.bin"), {200, patternBytes(1000), Canned::Mode::Silent, 0});
    Downloader downloader;
    downloader.setStallTimeout(500ms);
    int ticks = 0;
    QTimer timer;
    connect(&timer, &QTimer::timeout, this, [&ticks] { ++ticks; });
    timer.start(20);
    QVERIFY(!downloader
                 .DownloadFile(m_server->baseUrl() + "file.bin",
                               m_root.filePath(QStringLiteral("file.bin")))
                 .isEmpty());
    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
}

// --- the update flow of the about box ---------------------------------------------------------

void TestUpdate::nothingOffered_data() {
    QTest::addColumn<QByteArray>("ini");
    QTest::newRow("section missing")
        << QByteArray("[Anderes]\r\nName=vtk290\r\nVersion=1.0.0.8\r\n");
    QTest::newRow("Name missing") << QByteArray("[KT290Serviceprogramm]\r\nVersion=1.0.0.8\r\n");
    QTest::newRow("Name differs in case") << updateIni("VTK290", "1.0.0.8");
    QTest::newRow("Version -1") << updateIni("vtk290", "-1");
}

void TestUpdate::nothingOffered() {
    QFETCH(QByteArray, ini);
    m_server->set(QStringLiteral("update.ini"), {200, ini, Canned::Mode::Whole, 0});
    prepareBox(m_root.filePath(QStringLiteral("vtk290")));
    MessageBoxCatcher answerer(10);
    answerer.answerWith(QMessageBox::Ok);
    runUpdate();
    QCOMPARE(int(answerer.boxes.size()), 0);
    QCOMPARE(memoLines(), (QStringList{QStringLiteral("Abfrage Versionsinformation"),
                                       QString::number(ini.size()) + " Bytes übertragen "}));
    QCOMPARE(m_server->requests(), QStringList{"/spezmemb/download/software/update.ini"});
    QCOMPARE(tempFiles(), QStringList());
    QVERIFY(m_rig->windows.aboutBox->Button4->isEnabled());
    QCOMPARE(m_started.calls, 0);
}

void TestUpdate::cancelDownloadsNothing() {
    m_server->set(QStringLiteral("update.ini"),
                  {200, updateIni("vtk290", "1.0.0.8"), Canned::Mode::Whole, 0});
    prepareBox(m_root.filePath(QStringLiteral("vtk290")));
    TAboutBox *box = m_rig->windows.aboutBox;
    QVERIFY(box->Memo1->isHidden());
    MessageBoxCatcher answerer(10);
    answerer.answerWith(QMessageBox::Cancel);
    runUpdate();
    QCOMPARE(int(answerer.boxes.size()), 1);
    QCOMPARE(answerer.boxes.last().title, QStringLiteral("Bestätigung"));
    QCOMPARE(answerer.boxes.last().text,
             QStringLiteral("downloadbare Version: 1.0.0.8     ihre aktuelle "
                            "Version: Version 1.0.0.7     Downloaden?"));
    QCOMPARE(answerer.boxes.last().icon, QMessageBox::Question);
    QCOMPARE(answerer.boxes.last().standardButtons, QMessageBox::Ok | QMessageBox::Cancel);
    QCOMPARE(m_server->requests().size(), 1);
    QCOMPARE(tempFiles(), QStringList());
    QVERIFY(box->Button4->isEnabled());
    QVERIFY(box->Memo1->isVisible());
    QCOMPARE(box->frameGeometry().height(), 555);
    QCOMPARE(m_started.calls, 0);
}

// Markup in the server's version is shown as it stands and cannot restyle the question.
void TestUpdate::offeredVersionShownAsText() {
    const QString version = QStringLiteral("<p style=\"font-size:60px\">2.0</p><!--");
    m_server->set(QStringLiteral("update.ini"),
                  {200, updateIni("vtk290", version), Canned::Mode::Whole, 0});
    prepareBox(m_root.filePath(QStringLiteral("vtk290")));
    MessageBoxCatcher answerer(10);
    answerer.answerWith(QMessageBox::Cancel);
    runUpdate();
    QCOMPARE(int(answerer.boxes.size()), 1);
    QCOMPARE(answerer.boxes.last().format, Qt::PlainText);
    QCOMPARE(answerer.boxes.last().text,
             "downloadbare Version: " + version +
                 "     ihre aktuelle Version: Version 1.0.0.7     Downloaden?");
}

void TestUpdate::failedStepStartsNothing_data() {
    QTest::addColumn<bool>("infoFound");
    QTest::addColumn<bool>("programFound");
    QTest::addColumn<QString>("updaterSha256");
    QTest::addColumn<QStringList>("lastLines");
    QTest::addColumn<bool>("programStored");

    QTest::newRow("no update information")
        << false << true << QString()
        << QStringList{"", "Beim download ist ein Fehler aufgetreten. 1"} << false;
    QTest::newRow("program file missing")
        << true << false << QString()
        << QStringList{"Download vtk290.ex_", "", "Beim download ist ein Fehler aufgetreten. 1"}
        << false;
    QTest::newRow("updater checksum wrong")
        << true << true << sha256Hex("anders")
        << QStringList{"Download update.exe", "2000 Bytes übertragen ",
                       "Die Prüfsumme (SHA-256) der Datei stimmt nicht."}
        << true;
}

void TestUpdate::failedStepStartsNothing() {
    QFETCH(bool, infoFound);
    QFETCH(bool, programFound);
    QFETCH(QString, updaterSha256);
    QFETCH(QStringList, lastLines);
    QFETCH(bool, programStored);

    const QString dir = m_root.filePath(QStringLiteral("fehlschlag"));
    QVERIFY(QDir().mkpath(dir));
    if (infoFound) {
        m_server->set(
            QStringLiteral("update.ini"),
            {200,
             updateIni("vtk290", "1.0.0.8",
                       updaterSha256.isEmpty() ? QString() : "UpdaterSHA256=" + updaterSha256),
             Canned::Mode::Whole, 0});
    }
    if (programFound)
        m_server->set(QStringLiteral("vtk290.ex_"),
                      {200, patternBytes(3000), Canned::Mode::Whole, 0});
    m_server->set(QStringLiteral("update.exe"), {200, patternBytes(2000), Canned::Mode::Whole, 0});
    prepareBox(dir + QStringLiteral("/vtk290"));
    MessageBoxCatcher answerer(10);
    answerer.answerWith(QMessageBox::Ok);
    runUpdate();

    QCOMPARE(memoLines().mid(memoLines().size() - lastLines.size()), lastLines);
    QCOMPARE(QFile::exists(dir + QStringLiteral("/vtk290.ex_")), programStored);
    QVERIFY(!QFile::exists(dir + QStringLiteral("/update.exe")));
    QCOMPARE(m_started.calls, 0);
    QVERIFY(m_rig->windows.form1->isVisible());
    QVERIFY(m_rig->windows.aboutBox->Button4->isEnabled());
    QCOMPARE(tempFiles(), QStringList());
}

void TestUpdate::fullUpdate() {
    const QString dir = m_root.filePath(QStringLiteral("Programme mit Blank"));
    QVERIFY(QDir().mkpath(dir));
    const QString programPath = dir + QStringLiteral("/vtk290");
    const QByteArray program = patternBytes(10000);
    const QByteArray updater = patternBytes(5000).replace('\0', 'u');
    const QByteArray ini = updateIni("vtk290", "1.0.0.8",
                                     "SHA256=" + sha256Hex(program).toUpper() +
                                         "\r\nUpdaterSHA256=" + sha256Hex(updater) + "\r\n");
    m_server->set(QStringLiteral("update.ini"), {200, ini, Canned::Mode::Whole, 0});
    m_server->set(QStringLiteral("vtk290.ex_"), {200, program, Canned::Mode::Whole, 0});
    m_server->set(QStringLiteral("update.exe"), {200, updater, Canned::Mode::Whole, 0});
    prepareBox(programPath);
    MessageBoxCatcher answerer(10);
    answerer.answerWith(QMessageBox::Ok);
    runUpdate();

    QCOMPARE(int(answerer.boxes.size()), 1);
    QCOMPARE(memoLines(),
             (QStringList{"Abfrage Versionsinformation",
                          QString::number(ini.size()) + " Bytes übertragen ", "Download vtk290.ex_",
                          "10000 Bytes übertragen ", "Download update.exe",
                          "5000 Bytes übertragen ", "Download OK"}));
    QCOMPARE(m_server->requests(), (QStringList{"/spezmemb/download/software/update.ini",
                                                "/spezmemb/download/software/vtk290.ex_",
                                                "/spezmemb/download/software/update.exe"}));
    QCOMPARE(readAll(dir + QStringLiteral("/vtk290.ex_")), program);
    QCOMPARE(readAll(dir + QStringLiteral("/update.exe")), updater);
    QVERIFY(QFileInfo(dir + QStringLiteral("/update.exe")).isExecutable());

    const QString nativeDir = QDir::toNativeSeparators(dir + u'/');
    QCOMPARE(m_started.calls, 1);
    QCOMPARE(m_started.program, nativeDir + QStringLiteral("update.exe"));
    QCOMPARE(m_started.arguments, QStringList{QDir::toNativeSeparators(programPath)});
    QCOMPARE(m_started.workingDirectory, nativeDir);
    QVERIFY(!m_rig->windows.form1->isVisible());
    QCOMPARE(tempFiles(), QStringList());
}

// An installed package's program folder belongs to root: the offer is shown, nothing is fetched
// or written. Root may write anywhere, so for root a folder no one can create files in stands in.
void TestUpdate::packageInstallationDownloadsNothing() {
    QString dir = m_root.filePath(QStringLiteral("paket"));
    QVERIFY(QDir().mkpath(dir));
    QVERIFY(QFile::setPermissions(dir, QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                           QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther));
    if (QFile probe(dir + QStringLiteral("/probe")); probe.open(QIODevice::WriteOnly)) {
        probe.remove();
        dir = QStringLiteral("/proc/self");
        if (!QFileInfo(dir).isDir())
            QSKIP("no folder here that refuses new files");
    }
    m_server->set(QStringLiteral("update.ini"),
                  {200, updateIni("vtk290", "1.0.0.8"), Canned::Mode::Whole, 0});
    m_server->set(QStringLiteral("vtk290.ex_"), {200, patternBytes(3000), Canned::Mode::Whole, 0});
    m_server->set(QStringLiteral("update.exe"), {200, patternBytes(2000), Canned::Mode::Whole, 0});
    prepareBox(dir + QStringLiteral("/vtk290"));
    MessageBoxCatcher answerer(10);
    answerer.answerWith(QMessageBox::Ok);
    runUpdate();

    QCOMPARE(int(answerer.boxes.size()), 0);
    QCOMPARE(memoLines().mid(2),
             (QStringList{"downloadbare Version: 1.0.0.8",
                          "Der Programmordner ist schreibgeschützt: diese Installation wird über "
                          "ihr Paket aktualisiert (apt oder dpkg -i mit dem neuen Paket). Es wird "
                          "nichts heruntergeladen."}));
    QCOMPARE(m_server->requests(), QStringList{"/spezmemb/download/software/update.ini"});
    QCOMPARE(m_started.calls, 0);
    QVERIFY(m_rig->windows.aboutBox->Button4->isEnabled());
    QCOMPARE(tempFiles(), QStringList());
    QFile::setPermissions(m_root.filePath(QStringLiteral("paket")),
                          QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

QTEST_MAIN(TestUpdate)
#include "tst_update.moc"
