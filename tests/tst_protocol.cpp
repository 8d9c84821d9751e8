#include "core/link/allgem.h"
#include "core/link/deviceprotocol.h"
#include "core/link/ucom.h"
#include "fakeserialport.h"

#include <QtTest>

// Questions and answers against a device in memory (real timing: each question takes ~0.5 s).
class TestProtocol : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void numberAnswers_data();
    void numberAnswers();
    void staleInputIsDiscarded();
    void unansweredQuestionIsAskedTwice();
    void multiLineAnswers();
    void versionLineAfterTheFirstPoll();
    void noPortGivesNoValue();
    void questionEndsWhenThePortGoes();
    void calibrationPauses();

private:
    FakeSerialPort *m_port = nullptr;
    std::unique_ptr<ComLink> m_link;
    std::unique_ptr<DeviceProtocol> m_protocol;
};

void TestProtocol::init() {
    qputenv("VTK290_PORTS", "/fake/1");
    auto port = std::make_unique<FakeSerialPort>();
    m_port = port.get();
    m_link = std::make_unique<ComLink>(std::move(port));
    m_protocol = std::make_unique<DeviceProtocol>(*m_link);
    QCOMPARE(m_link->ComOpen(QStringLiteral("COM1"), 19200), QString());
}

void TestProtocol::cleanup() {
    m_protocol.reset();
    m_link.reset();
    qunsetenv("VTK290_PORTS");
}

void TestProtocol::numberAnswers_data() {
    QTest::addColumn<QByteArray>("firstAnswer");
    QTest::addColumn<QByteArray>("secondAnswer");
    QTest::addColumn<double>("expected");
    QTest::addColumn<int>("timesAsked");
    QTest::newRow("echo, then the named value")
        << QByteArray("fehl 2\r\n") << QByteArray() << 2.0 << 1;
    QTest::newRow("hex then decimal") << QByteArray("fehl 0x03 3\r\n") << QByteArray() << 3.0 << 1;
    QTest::newRow("hex alone") << QByteArray("fehl 0x03\r\n") << QByteArray() << NoValue << 1;
    QTest::newRow("decimal point") << QByteArray("fehl 12.5\r\n") << QByteArray() << 12.5 << 1;
    QTest::newRow("decimal comma") << QByteArray("fehl 12,5\r\n") << QByteArray() << NoValue << 1;
    QTest::newRow("exponent") << QByteArray("fehl -4.0E-1\r\n") << QByteArray() << -0.4 << 1;
    QTest::newRow("unit behind") << QByteArray("fehl 4mA\r\n") << QByteArray() << NoValue << 1;
    QTest::newRow("only the echo, then retried")
        << QByteArray() << QByteArray("fehl 7\r\n") << 7.0 << 2;
    QTest::newRow("nothing twice") << QByteArray() << QByteArray() << NoValue << 2;
}

void TestProtocol::numberAnswers() {
    QFETCH(QByteArray, firstAnswer);
    QFETCH(QByteArray, secondAnswer);
    QFETCH(double, expected);
    QFETCH(int, timesAsked);
    int asked = 0;
    m_port->answer = [&](const QByteArray &) {
        return ++asked == 1 ? firstAnswer : secondAnswer;
    };
    QCOMPARE(m_protocol->DeviceQueryNumber(QStringLiteral("fehl")), expected);
    QCOMPARE(asked, timesAsked);
}

void TestProtocol::staleInputIsDiscarded() {
    // The echo of an earlier set command still waits when the question starts.
    m_port->incoming = "kalr 1\r\nkalr 1 ok\r\n";
    m_port->answer = [](const QByteArray &line) {
        return line == "mas" ? QByteArray("mas 12.5\r\n") : QByteArray();
    };
    QCOMPARE(m_protocol->DeviceQueryNumber(QStringLiteral("mas")), 12.5);
    QCOMPARE(m_port->commands, QList<QByteArray>{"mas"});
}

void TestProtocol::unansweredQuestionIsAskedTwice() {
    m_port->echo = false;
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_protocol->DeviceQuery(QStringLiteral("Name")), QString());
    QCOMPARE(m_port->commands, (QList<QByteArray>{"Name", "Name"}));
    // Two attempts of drain, five paced characters and a one-second wait each.
    QVERIFY2(clock.elapsed() >= 2 * (100 + 250 + 1000) - 50,
             qPrintable(QString::number(clock.elapsed())));
}

void TestProtocol::multiLineAnswers() {
    // The version lines come in two bursts; the setup print is complete only with "poti[0]".
    m_port->answer = [this](const QByteArray &line) -> QByteArray {
        if (line == "ver") {
            QTimer::singleShot(60, this, [this] { m_port->incoming += "HW-Version 2\r\n"; });
            return "SW-Version V1.03\r\n";
        }
        if (line == "spr") {
            QTimer::singleShot(150, this,
                               [this] { m_port->incoming += " poti[0]: 5135  poti[1]: 301\r\n"; });
            return " Version: 3   Ort: 4\r\n Sicherheitsmodus: 0\r\n";
        }
        return {};
    };
    const QString version = m_protocol->DeviceQuery(QStringLiteral("ver"));
    QCOMPARE(version, QStringLiteral("SW-Version V1.03\r\nHW-Version 2"));
    const QString print = m_protocol->DeviceQuery(QStringLiteral("spr"));
    QVERIFY(print.startsWith(QLatin1String("Version: 3")));
    QVERIFY(print.endsWith(QLatin1String("poti[1]: 301")));
}

// The first poll comes 0.15 s after the CR (its pause and one step); the hardware line that
// follows 0.2 s after the first is only there for the version's extra step 0.1 s later.
void TestProtocol::versionLineAfterTheFirstPoll() {
    m_port->answer = [this](const QByteArray &line) -> QByteArray {
        if (line != "ver")
            return {};
        QTimer::singleShot(200, this, [this] { m_port->incoming += "HW-Version 2\r\n"; });
        return "SW-Version V1.03\r\n";
    };
    QCOMPARE(m_protocol->DeviceQuery(QStringLiteral("ver")),
             QStringLiteral("SW-Version V1.03\r\nHW-Version 2"));
}

void TestProtocol::noPortGivesNoValue() {
    m_link->ComClose();
    QCOMPARE(m_protocol->DeviceQueryNumber(QStringLiteral("fnr")), NoValue);
    QVERIFY(m_port->writes.isEmpty());
}

void TestProtocol::questionEndsWhenThePortGoes() {
    // The device is unplugged while the program waits for its answer.
    m_port->echo = false;
    QTimer::singleShot(500, m_port, [this] { m_port->pullPlug(); });
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(m_protocol->DeviceQuery(QStringLiteral("Name")), QString());
    QVERIFY2(clock.elapsed() < 800, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(m_port->commands, QList<QByteArray>{"Name"});
}

// After "kalr 1" and after "kalr 0" the device needs a second before it measures. The program
// itself leaves the port alone that long, also when the device answers at once: from the
// command's CR to the next question's first character there is a stretch of at least a second
// in which nothing is read or written.
void TestProtocol::calibrationPauses() {
    m_port->answer = [](const QByteArray &line) {
        return line == "mvv0" ? QByteArray("mvv0 0.52\r\n") : QByteArray();
    };
    const DeviceProtocol::CalibrationReadings readings = m_protocol->ReadWithCalibration(false);
    QCOMPARE(readings.withResistor, 0.52);
    QCOMPARE(readings.withoutResistor, 0.52);
    QList<QByteArray> commands = m_port->commands;
    commands.removeAll(QByteArray()); // a bare CR that clears the device's line
    QCOMPARE(commands, (QList<QByteArray>{"kalr 1", "mvv0", "kalr 0", "mvv0"}));

    QByteArray line;
    QStringList quiet;
    for (qsizetype i = 0; i < m_port->writes.size(); ++i) {
        const FakeSerialPort::Write &write = m_port->writes.at(i);
        line += write.bytes;
        if (!line.endsWith('\r'))
            continue;
        const bool calibration = line.startsWith("kalr ");
        line.clear();
        if (!calibration)
            continue;
        QVERIFY(i + 1 < m_port->writes.size());
        const qint64 next = m_port->writes.at(i + 1).atMs;
        QList<qint64> activity{write.atMs};
        for (const qint64 read : m_port->readsAtMs) {
            if (read >= write.atMs && read <= next)
                activity << read;
        }
        activity << next;
        qint64 longest = 0;
        for (qsizetype k = 1; k < activity.size(); ++k)
            longest = std::max(longest, activity.at(k) - activity.at(k - 1));
        quiet << QString::number(longest);
    }
    QCOMPARE(quiet.size(), 2);
    for (const QString &ms : quiet)
        QVERIFY2(ms.toLongLong() >= 1000, qPrintable(quiet.join(QStringLiteral(" ms, "))));
}

QTEST_GUILESS_MAIN(TestProtocol)
#include "tst_protocol.moc"
