#include "core/device/deviceconversation.h"
#include "core/diag/liverun.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"

#include "simulatorprocess.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

// The live run without its window, against the simulated device on a port that comes and goes.
class TestLiveRun : public QObject {
    Q_OBJECT

private slots:
    void reconnection_data();
    void reconnection();
};

namespace {

QString stateNames(const QList<LiveRun::State> &states) {
    QStringList names;
    for (const LiveRun::State state : states)
        names << QString::fromLatin1(QMetaEnum::fromType<LiveRun::State>().valueToKey(int(state)));
    return names.join(QLatin1Char(' '));
}

QString markTexts(const LiveSampler &recording) {
    QStringList texts;
    for (const LiveMark &mark : recording.marks())
        texts << mark.text;
    return texts.join(QLatin1Char('|'));
}

} // namespace

void TestLiveRun::reconnection_data() {
    QTest::addColumn<QStringList>("whileUnplugged"); // the simulator's control lines
    QTest::addColumn<bool>("goesOn");
    QTest::addColumn<QString>("serialNumber"); // of the recording after the reconnection
    QTest::addColumn<bool>("strainGauge");
    QTest::addColumn<QString>("statesAfterLoss");
    QTest::newRow("the same device goes on with the recording")
        << QStringList() << true << "2901" << false << "Connecting Running Ended";
    QTest::newRow("another F.Nr begins a new recording")
        << QStringList{"set fnr 2902"} << false << "2902" << false << "Connecting Running Ended";
    QTest::newRow("another model begins a new one, calibrated first")
        << QStringList{"type X1"} << false << "2901" << true
        << "Connecting Calibrating Running Ended";
}

// A run records until the device is pulled, tells the loss and marks it; plugged in again, the
// reconnection asks the recording's port, identifies the device and runs again: the same device
// (F.Nr and model) goes on with the recording, noting its return, any other begins a new one
// with its own identity.
void TestLiveRun::reconnection() {
    QFETCH(QStringList, whileUnplugged);
    QFETCH(bool, goesOn);
    QFETCH(QString, serialNumber);
    QFETCH(bool, strainGauge);
    QFETCH(QString, statesAfterLoss);

    QTemporaryDir dir;
    QVERIFY(dir.isValid());
    const QString stableName = dir.filePath(QStringLiteral("kt290"));
    SimulatorProcess device;
    QVERIFY(device.start(
        {QStringLiteral("--type"), QStringLiteral("X2"), QStringLiteral("--link"), stableName}));
    qputenv("VTK290_PORTS", stableName.toLocal8Bit());
    ComLink link(std::make_unique<QtSerialPortIo>());
    DeviceConversation conversation(link);
    QVERIFY(conversation.connectDevice(1).value_or(ConnectionScan::Result()).found);
    QVERIFY(conversation.readout());

    LiveRun run(conversation);
    run.setViewOpen(true);
    QList<LiveRun::State> states;
    connect(&run, &LiveRun::stateChanged, this,
            [&states](LiveRun::State state) { states << state; });
    int recordings = 0;
    connect(&run, &LiveRun::recordingStarted, this, [&recordings] { ++recordings; });
    int samplesTold = 0;
    connect(&run, &LiveRun::sampled, this, [&samplesTold] { ++samplesTold; });

    // Two samples, then the plug is pulled.
    QTimer watch;
    bool unplugged = false;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (samplesTold >= 2 && !unplugged)
            unplugged = device.control(QStringLiteral("unplug"));
    });
    watch.start(20);
    QVERIFY(run.run());
    watch.stop();
    QCOMPARE(stateNames(states), QStringLiteral("Running Disconnected"));
    QVERIFY(!conversation.isConnected());
    QVERIFY(unplugged);
    const qsizetype beforeLoss = run.sampler()->samples().size();
    QCOMPARE(beforeLoss, qsizetype(samplesTold));
    QCOMPARE(markTexts(*run.sampler()), QStringLiteral("Gerät getrennt"));
    QVERIFY(run.mayReconnect());

    for (const QString &control : whileUnplugged)
        QVERIFY(device.control(control));
    QVERIFY(device.control(QStringLiteral("plug")));
    QTRY_VERIFY(QFile::exists(stableName));
    states.clear();
    samplesTold = 0;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (samplesTold >= 2)
            run.stop();
    });
    watch.start(20);
    QVERIFY(run.reconnect());
    watch.stop();

    QCOMPARE(stateNames(states), statesAfterLoss);
    QVERIFY(conversation.isConnected());
    QVERIFY(!run.isRunning());
    QCOMPARE(recordings, goesOn ? 1 : 2);
    QCOMPARE(run.sampler()->serialNumber(), serialNumber);
    QCOMPARE(run.sampler()->isStrainGauge(), strainGauge);
    QCOMPARE(run.sampler()->samples().size(), (goesOn ? beforeLoss : 0) + samplesTold);
    QCOMPARE(markTexts(*run.sampler()),
             goesOn ? QStringLiteral("Gerät getrennt|Wieder verbunden") : QString());
    qunsetenv("VTK290_PORTS");
}

QTEST_GUILESS_MAIN(TestLiveRun)
#include "tst_liverun.moc"
