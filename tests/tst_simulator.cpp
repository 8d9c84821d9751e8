// The device simulator: what the simulated KT 290 answers (checked on the device class itself),
// and the simulator program on its pseudo-terminal, driven through the test fixture.

#include "kt290device.h"
#include "simulatorprocess.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QSerialPort>
#include <QTemporaryDir>
#include <QtTest>

namespace {

// Everything the device sends back for one command line (echo included), delays ignored.
QByteArray talk(Kt290Device &device, const QByteArray &line) {
    QByteArray out;
    for (const char c : line + '\r')
        for (const auto &chunk : device.receiveByte(c).chunks)
            out += QByteArray::fromStdString(chunk.bytes);
    return out;
}

bool openPort(QSerialPort &port, const QString &path) {
    port.setPortName(path);
    port.setBaudRate(19200);
    if (!port.open(QIODevice::ReadWrite))
        return false;
    port.clear();
    return true;
}

// Sends a command and CR (one character every paceMs), then reads until the line has been
// quiet for 300 ms.
QByteArray exchange(QSerialPort &port, const QByteArray &command, int paceMs = 0) {
    for (const char c : command + '\r') {
        port.write(&c, 1);
        port.waitForBytesWritten(1000);
        if (paceMs > 0)
            QTest::qWait(paceMs);
    }
    QByteArray received;
    QDeadlineTimer deadline(3000);
    while (!deadline.hasExpired() && port.waitForReadyRead(300))
        received += port.readAll();
    return received + port.readAll();
}

} // namespace

class TestSimulator : public QObject {
    Q_OBJECT

private slots:
    void answers_data();
    void answers();
    void faults_data();
    void faults();
    void notUnderstood_data();
    void notUnderstood();
    void timedOutput();
    void movingInput();
    void wireExchange();
    void transcriptAndOpenClose();
    void vanishAndPlug();
};

void TestSimulator::answers_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("controls"); // control lines first
    QTest::addColumn<QStringList>("before");   // then these commands on the line
    QTest::addColumn<QByteArray>("query");
    QTest::addColumn<QByteArray>("expected"); // echo and answer

    QTest::newRow("number") << "X1" << QStringList{} << QStringList{} << QByteArray("fehl")
                            << QByteArray("fehl\r\nfehl 0\r\n");
    QTest::newRow("set by control") << "X1" << QStringList{"set fehl 2"} << QStringList{}
                                    << QByteArray("fehl") << QByteArray("fehl\r\nfehl 2\r\n");
    QTest::newRow("raw text") << "X1" << QStringList{"set fehl 0x03 3"} << QStringList{}
                              << QByteArray("fehl") << QByteArray("fehl\r\nfehl 0x03 3\r\n");
    QTest::newRow("missing") << "X1" << QStringList{"set fnr missing"} << QStringList{}
                             << QByteArray("fnr") << QByteArray("fnr\r\n");
    QTest::newRow("unknown command")
        << "X1" << QStringList{} << QStringList{} << QByteArray("bogus") << QByteArray("bogus\r\n");
    QTest::newRow("X1 inpmv") << "X1" << QStringList{} << QStringList{} << QByteArray("inpmv")
                              << QByteArray("inpmv\r\ninpmv 1\r\n");
    QTest::newRow("X2 inpv") << "X2" << QStringList{} << QStringList{} << QByteArray("inpv")
                             << QByteArray("inpv\r\ninpv 0\r\n");
    QTest::newRow("03 inpv") << "03" << QStringList{} << QStringList{} << QByteArray("inpv")
                             << QByteArray("inpv\r\ninpv 1\r\n");
    QTest::newRow("01 knows no inpmv")
        << "01" << QStringList{} << QStringList{} << QByteArray("inpmv") << QByteArray("inpmv\r\n");
    QTest::newRow("01 p0") << "01" << QStringList{} << QStringList{} << QByteArray("p0")
                           << QByteArray("p0\r\np0 6\r\n");
    QTest::newRow("02 p0") << "02" << QStringList{} << QStringList{} << QByteArray("p0")
                           << QByteArray("p0\r\np0 1\r\n");
    QTest::newRow("type by control") << "X1" << QStringList{"type X2"} << QStringList{}
                                     << QByteArray("inpmv") << QByteArray("inpmv\r\ninpmv 0\r\n");

    const QStringList bridge{"set mvv0 0.02", "set mvv0cal 0.52"};
    QTest::newRow("calibration resistor on")
        << "X1" << bridge << QStringList{"kalr 1"} << QByteArray("mvv0")
        << QByteArray("mvv0\r\nmvv0 0.52\r\n");
    QTest::newRow("calibration resistor off")
        << "X1" << bridge << QStringList{"kalr 1", "kalr 0"} << QByteArray("mvv0")
        << QByteArray("mvv0\r\nmvv0 0.02\r\n");
    QTest::newRow("simulated input")
        << "X2" << QStringList{} << QStringList{"input 0", "mvv0 3.5000E-01"} << QByteArray("mvv0")
        << QByteArray("mvv0\r\nmvv0 0.35\r\n");
    QTest::newRow("res ends simulation")
        << "X2" << QStringList{"set mvv0 11"} << QStringList{"input 0", "mvv0 5.0", "res"}
        << QByteArray("mvv0") << QByteArray("mvv0\r\nmvv0 11\r\n");
    QTest::newRow("output follows bridge")
        << "X1" << QStringList{} << QStringList{"input 0", "mvv0 1.25E+00"} << QByteArray("mas")
        << QByteArray("mas\r\nmas 12\r\n");
    QTest::newRow("output at zero, both directions")
        << "X1" << QStringList{} << QStringList{"druck 0", "input 0", "mvv0 0.0"}
        << QByteArray("mas") << QByteArray("mas\r\nmas 12\r\n");
    QTest::newRow("simulated output") << "X2" << QStringList{} << QStringList{"maaus 0", "mas 12.5"}
                                      << QByteArray("mas") << QByteArray("mas\r\nmas 12.5\r\n");

    // Relays on a current input (SP1 8 mA, SP2 16 mA, polarity 0: energised below the point).
    const auto relays = [](const char *name, QStringList before, const char *p2) {
        QTest::newRow(name) << "X2" << QStringList{} << before << QByteArray("P2")
                            << QByteArray("P2\r\nP2 ") + p2 + "\r\n";
    };
    relays("relays below both", {"input 0", "mvv0 5.0"}, "3");
    relays("relays between", {"input 0", "mvv0 12.0"}, "2");
    relays("relays above both", {"input 0", "mvv0 20.0"}, "0");
    relays("relays polarity 1", {"R1POL 1", "R2POL 1", "input 0", "mvv0 12.0"}, "1");
    relays("hysteresis holds", {"al1hy 2.0", "input 0", "mvv0 9.0", "mvv0 6.5"}, "2");
    relays("hysteresis releases", {"al1hy 2.0", "input 0", "mvv0 9.0", "mvv0 5.9"}, "3");
    relays("no hysteresis", {"input 0", "mvv0 9.0", "mvv0 7.9"}, "3");
    relays("relays follow simulated output", {"maaus 0", "mas 20.0"}, "0");
    QTest::newRow("relays fixed by control") << "X2" << QStringList{"set P2 1"} << QStringList{}
                                             << QByteArray("P2") << QByteArray("P2\r\nP2 1\r\n");

    QTest::newRow("poti without entry 3")
        << "X1" << QStringList{"set poti3 missing"} << QStringList{} << QByteArray("poti")
        << QByteArray("poti\r\n0: Nullpunkt=51.35%\r\n1: Verstaerkung=3.01%\r\n"
                      "2: Schaltpunkt SP1=65.27%\r\n4: Daempfung=7.73%\r\n");
    QTest::newRow("muted once") << "X1" << QStringList{"mute poti"} << QStringList{}
                                << QByteArray("poti") << QByteArray("poti\r\n");
    QTest::newRow("ver") << "X1" << QStringList{"set swver V2.00"} << QStringList{}
                         << QByteArray("ver")
                         << QByteArray("ver\r\nSW-Version V2.00\r\nHW-Version 2\r\n");
    QTest::newRow("Name") << "X1" << QStringList{} << QStringList{} << QByteArray("Name")
                          << QByteArray("Name\r\nKT290 V1.03\r\n");
}

void TestSimulator::answers() {
    QFETCH(QString, type);
    QFETCH(QStringList, controls);
    QFETCH(QStringList, before);
    QFETCH(QByteArray, query);
    QFETCH(QByteArray, expected);

    Kt290Device device(*Kt290Device::parseType(type.toStdString()));
    for (const QString &line : controls) {
        std::string error;
        QVERIFY2(device.control(line.toStdString(), error), error.c_str());
    }
    for (const QString &command : before)
        talk(device, command.toLatin1());
    QCOMPARE(talk(device, query), expected);
}

void TestSimulator::notUnderstood_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QStringList>("expected"); // "delay bytes" of each piece after the echo
    QTest::newRow("empty line unanswered") << "none" << QByteArray() << QStringList{};
    QTest::newRow("empty line, ? at once") << "now" << QByteArray() << QStringList{"0 ?\r\n"};
    QTest::newRow("empty line, ? late") << "late" << QByteArray() << QStringList{"500 ?\r\n"};
    QTest::newRow("unknown command, ? late")
        << "late" << QByteArray("xyz") << QStringList{"500 ?\r\n"};
    QTest::newRow("question answered, not ?")
        << "late" << QByteArray("fnr") << QStringList{"500 fnr 2901\r\n"};
    QTest::newRow("set command unanswered") << "now" << QByteArray("kalr 1") << QStringList{};
}

// An empty line or an unknown command gets "?" at once or after the answer delay ("fault late
// 500"); known commands are answered as ever.
void TestSimulator::notUnderstood() {
    QFETCH(QString, mode);
    QFETCH(QByteArray, line);
    QFETCH(QStringList, expected);
    Kt290Device device(Kt290Device::Type::X1);
    std::string error;
    QVERIFY2(device.control("fault late 500", error), error.c_str());
    QVERIFY2(device.control("unknown " + mode.toStdString(), error), error.c_str());
    QStringList pieces;
    QByteArray echo;
    for (const char c : line + '\r') {
        for (const auto &chunk : device.receiveByte(c).chunks) {
            QByteArray bytes = QByteArray::fromStdString(chunk.bytes);
            if (chunk.delayMs == 0 && echo.size() < line.size() + 2) {
                const qsizetype take = qMin(bytes.size(), line.size() + 2 - echo.size());
                echo += bytes.left(take);
                bytes.remove(0, take);
            }
            if (!bytes.isEmpty())
                pieces << QString::number(chunk.delayMs) + QLatin1Char(' ') +
                              QString::fromLatin1(bytes);
        }
    }
    QCOMPARE(echo, line + "\r\n");
    QCOMPARE(pieces, expected);
    QVERIFY(!device.control("unknown sometimes", error));
}

// "wave": the measured input swings as a sine around its value on the device's clock, with and
// without the calibration resistor, and the output and relays follow it.
void TestSimulator::movingInput() {
    Kt290Device device(Kt290Device::Type::X1);
    std::string error;
    QVERIFY(!device.control("wave 0.5", error));
    QVERIFY(!device.control("wave 0.5 0", error));
    for (const char *line : {"wave 0.5 20", "set al1ma 8", "set al2ma 16"})
        QVERIFY2(device.control(line, error), error.c_str());
    const auto number = [&device](const QByteArray &command) {
        return talk(device, command).split('\n').value(1).trimmed().split(' ').value(1).toDouble();
    };
    QCOMPARE(number("mvv0"), 0.5); // at the clock's start
    device.setTime(5.0);           // a quarter period: the crest
    QCOMPARE(number("mvv0"), 1.0);
    const double crestOutput = number("mas");
    const double crestRelays = number("P2");
    talk(device, "kalr 1");
    QCOMPARE(number("mvv0"), 1.5);
    talk(device, "kalr 0");
    device.setTime(15.0); // the trough
    QVERIFY(qAbs(number("mvv0")) < 1e-9);
    QVERIFY(number("mas") < crestOutput);
    QVERIFY(number("P2") != crestRelays);
    QVERIFY(device.control("wave 0 1", error));
    QCOMPARE(number("mvv0"), 0.5);
}

void TestSimulator::faults_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");

    QTest::newRow("none") << "none" << QByteArray("fehl\r\nfehl 0\r\n")
                          << QByteArray("fehl\r\nfehl 0\r\n");
    QTest::newRow("silent") << "silent" << QByteArray() << QByteArray();
    QTest::newRow("nocrlf") << "nocrlf" << QByteArray("fehl\rfehl 0\r")
                            << QByteArray("fehl\rfehl 0\r");
    QTest::newRow("drop 1") << "drop 1" << QByteArray("fehl\r\n")
                            << QByteArray("fehl\r\nfehl 0\r\n");
    QTest::newRow("drop 2") << "drop 2" << QByteArray("fehl\r\n") << QByteArray("fehl\r\n");
}

void TestSimulator::faults() {
    QFETCH(QString, fault);
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);

    Kt290Device device;
    std::string error;
    QVERIFY2(device.setFault(fault.toStdString(), error), error.c_str());
    QCOMPARE(talk(device, "fehl"), first);
    QCOMPARE(talk(device, "fehl"), second);
}

void TestSimulator::timedOutput() {
    const auto delaysOf = [](Kt290Device &device, const QByteArray &line) {
        QList<int> delays;
        QByteArray text;
        for (const char c : line + '\r') {
            for (const auto &chunk : device.receiveByte(c).chunks) {
                delays << chunk.delayMs;
                text += QByteArray::fromStdString(chunk.bytes);
            }
        }
        return qMakePair(delays, text);
    };

    // The log comes in bursts, the first with the header line, all within well under 2 s.
    Kt290Device device;
    const auto [logDelays, logText] = delaysOf(device, "log");
    QVERIFY(logDelays.size() >= 3);
    QVERIFY(std::is_sorted(logDelays.begin(), logDelays.end()));
    QVERIFY(logDelays.last() > 0 && logDelays.last() <= 1000);
    QVERIFY(logText.startsWith("log\r\nLogFile"));
    QVERIFY(logText.endsWith("\r\n"));

    // "slow": the echo at once, every answer line a further delay later.
    std::string error;
    QVERIFY(device.setFault("slow 300", error));
    const auto [verDelays, verText] = delaysOf(device, "ver");
    QCOMPARE(verDelays.last(), 600);
    QCOMPARE(verDelays.first(), 0);
    QCOMPARE(verText, QByteArray("ver\r\nSW-Version V1.03\r\nHW-Version 2\r\n"));

    // The endless streams run only while their fault is set.
    QVERIFY(device.floodText().empty());
    QVERIFY(device.setFault("nul", error));
    const std::string nul = device.floodText();
    QVERIFY(!nul.empty());
    QVERIFY(std::all_of(nul.begin(), nul.end(), [](char c) { return c == '\0'; }));
    QVERIFY(device.setFault("flood", error));
    QVERIFY(QByteArray::fromStdString(device.floodText()).contains("\r\n"));
    QVERIFY(device.setFault("none", error));
    QVERIFY(device.floodText().empty());
}

void TestSimulator::wireExchange() {
    SimulatorProcess sim;
    QVERIFY(sim.start({"--type", "X1"}));
    QSerialPort port;
    QVERIFY2(openPort(port, sim.portPath()), qPrintable(port.errorString()));

    QCOMPARE(exchange(port, "fehl", 50), QByteArray("fehl\r\nfehl 0\r\n"));
    QVERIFY(sim.control("set fehl 2"));
    QCOMPARE(exchange(port, "fehl"), QByteArray("fehl\r\nfehl 2\r\n"));

    exchange(port, "sich 1");
    const QByteArray print = exchange(port, "spr");
    QVERIFY(print.endsWith("\r\n"));
    const QList<QByteArray> lines = print.chopped(2).split('\n');
    QCOMPARE(lines.size(), 19); // echo and 18 lines
    QVERIFY(lines[1].startsWith(" Version: 3   Ort: 4   Pr\xFC"
                                "fsumme: "));
    QVERIFY(lines.contains(" Sicherheitsmodus: 1\r"));
    QCOMPARE(
        lines.last(),
        QByteArray(" poti[0]: 5135  poti[1]: 301  poti[2]: 6527  poti[3]: 5176  poti[4]: 773"));

    QVERIFY(sim.control("fault silent"));
    QCOMPARE(exchange(port, "fehl"), QByteArray());
    QVERIFY(!sim.control("bogus"));
}

void TestSimulator::transcriptAndOpenClose() {
    SimulatorProcess sim;
    QVERIFY(sim.start());
    QSerialPort port;
    QVERIFY(openPort(port, sim.portPath()));
    exchange(port, "Name", 50);
    exchange(port, "al1hy 0.5");
    QCOMPARE(sim.commands(), (QStringList{"Name", "al1hy 0.5"}));

    // Characters sent 50 ms apart are recorded about 50 ms apart, in order.
    const auto bytes = sim.bytes();
    QVERIFY(bytes.size() >= 5);
    const QByteArray name("Name\r");
    for (int i = 0; i < name.size(); ++i) {
        QCOMPARE(bytes[i].second, name[i]);
        if (i > 0) {
            const double gap = bytes[i].first - bytes[i - 1].first;
            QVERIFY2(gap > 0.03 && gap < 0.2, qPrintable(QString::number(gap)));
        }
    }

    QCOMPARE(sim.openCount(), 1);
    port.close();
    QTRY_VERIFY(sim.transcript().last().endsWith(" CLOSE"));
    QVERIFY(openPort(port, sim.portPath()));
    QTRY_COMPARE(sim.openCount(), 2);
    QCOMPARE(exchange(port, "fehl"), QByteArray("fehl\r\nfehl 0\r\n"));
}

void TestSimulator::vanishAndPlug() {
    QTemporaryDir dir;
    const QString link = dir.filePath("kt290");
    SimulatorProcess sim;
    QVERIFY(sim.start({"--link", link}));
    QCOMPARE(sim.portPath(), link);
    QVERIFY(QFileInfo(link).isSymLink());

    QSerialPort port;
    QVERIFY(openPort(port, link));
    QVERIFY(sim.control("fault vanish"));
    QVERIFY(!exchange(port, "fehl").contains("\r\n")); // gone before the command's answer
    QTRY_VERIFY(!QFileInfo::exists(link) && !QFileInfo(link).isSymLink());
    QCOMPARE(sim.commands(), QStringList{"fehl"});
    port.close();

    QVERIFY(sim.control("plug"));
    QCOMPARE(sim.portPath(), link);
    QVERIFY(openPort(port, link));
    QCOMPARE(exchange(port, "Name"), QByteArray("Name\r\nKT290 V1.03\r\n"));
}

QTEST_GUILESS_MAIN(TestSimulator)
#include "tst_simulator.moc"
