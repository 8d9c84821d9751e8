#include "simulatorprocess.h"
#include "windowrig.h"

#include <QAction>
#include <QDir>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <algorithm>
#include <memory>

// Finding the device and reading it out, through the main window, against simulated devices
// on pseudo-terminals with real timing.
class TestConnection : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void deviceFoundBehindAbsentPorts();
    void silentPortIsAskedTwice();
    void deviceOnLastPort();
    void notFound_data();
    void notFound();
    void strainGaugeReadout();
    void deviceTypes_data();
    void deviceTypes();
    void disconnectKeepsValues();
    void unpluggedDeviceDisconnects();

private:
    void usePorts(const QStringList &paths);
    // Clicks "Verbinden" and answers the message box that may come; returns its text.
    QString connectAndWait();

    std::unique_ptr<WindowRig> m_rig;
    Tform1 *m_form = nullptr;
    // Made when the tests run, not when the build lists their cases.
    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestConnection::init() {
    if (!m_dir)
        m_dir = std::make_unique<QTemporaryDir>();
    m_rig = WindowRig::make({});
    m_form = m_rig->form();
}

void TestConnection::cleanup() {
    m_rig.reset();
    m_form = nullptr;
    qunsetenv("VTK290_PORTS");
}

void TestConnection::usePorts(const QStringList &paths) {
    qputenv("VTK290_PORTS", paths.join(QLatin1Char(':')).toLocal8Bit());
}

QString TestConnection::connectAndWait() {
    MessageBoxCatcher boxes(50);
    m_form->BitBtnVerbinden->click();
    return boxes.texts.isEmpty() ? QString() : boxes.texts.last();
}

void TestConnection::deviceFoundBehindAbsentPorts() {
    SimulatorProcess device;
    SimulatorProcess other;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X2")}));
    QVERIFY(other.start({}));
    QStringList ports;
    for (int i = 1; i <= 4; ++i)
        ports << m_dir->filePath(QStringLiteral("absent%1").arg(i));
    usePorts(ports << device.portPath() << other.portPath());

    QElapsedTimer clock;
    clock.start();
    QCOMPARE(connectAndWait(), QString());
    QCOMPARE(m_form->statusPanelText(0), QStringLiteral("Verbunden mit KT 290 an COM5"));
    QCOMPARE(m_form->BitBtnVerbinden->text(), QStringLiteral("Trennen"));
    QCOMPARE(device.commands().first(), QStringLiteral("Name"));
    QCOMPARE(other.openCount(), 0);
    QVERIFY(other.commands().isEmpty());
    for (const char *name : {"BitBtnAktualisieren", "BitBtnUpload", "BitBtnDownload"})
        QVERIFY2(m_form->findChild<QWidget *>(QLatin1String(name))->isEnabled(), name);
    for (QAction *item : {m_form->Logfile1, m_form->Simulation1, m_form->Status1})
        QVERIFY(item->isEnabled());
    QVERIFY(m_form->ProgressBar1->isHidden());
}

void TestConnection::silentPortIsAskedTwice() {
    SimulatorProcess silent;
    SimulatorProcess device;
    QVERIFY(silent.start({QStringLiteral("--fault"), QStringLiteral("silent")}));
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X2")}));
    usePorts({silent.portPath(), device.portPath()});

    // While it waits for the silent port, the scan says which port it asks.
    QStringList shown;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        if (!shown.contains(m_form->statusPanelText(0)))
            shown << m_form->statusPanelText(0);
    });
    watch.start(50);
    QCOMPARE(connectAndWait(), QString());
    QCOMPARE(m_form->statusPanelText(0), QStringLiteral("Verbunden mit KT 290 an COM2"));
    QCOMPARE(silent.commands(), (QStringList{"Name", "Name"}));
    QVERIFY2(shown.contains(QStringLiteral("verbinden: COM1 (%1)")
                                .arg(QDir::toNativeSeparators(silent.portPath()))),
             qPrintable(shown.join(" | ")));
}

void TestConnection::deviceOnLastPort() {
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X2")}));
    QStringList ports;
    for (int i = 1; i <= 7; ++i)
        ports << m_dir->filePath(QStringLiteral("absent%1").arg(i));
    usePorts(ports << device.portPath());

    QCOMPARE(connectAndWait(), QString());
    QCOMPARE(m_form->statusPanelText(0), QStringLiteral("Verbunden mit KT 290 an COM8"));
    QCOMPARE(device.commands().first(), QStringLiteral("Name"));
}

void TestConnection::notFound_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("message");
    QTest::newRow("no ports at all")
        << QString()
        << "Kein KT 290 gefunden. Die Schnittstelle wird von einem andren Programm "
           "belegt. Beenden Sie das andere Programm und versuchen Sie es neu.";
    QTest::newRow("name with a blank")
        << "KT 290 V1.03"
        << "Kein KT 290 gefunden. Verbinden Sie den Computer mit dem KT 290 "
           "und schließen Sie den KT 290 an die Spannungsversorgung an.";
}

void TestConnection::notFound() {
    QFETCH(QString, name);
    QFETCH(QString, message);
    SimulatorProcess device;
    if (name.isEmpty()) {
        usePorts({QString()});
    } else {
        QVERIFY(device.start({}));
        device.control(QStringLiteral("set name ") + name);
        usePorts({device.portPath()});
    }
    QCOMPARE(connectAndWait(), message);
    QCOMPARE(m_form->statusPanelText(0), QStringLiteral("kein KT 290 gefunden."));
    QCOMPARE(m_form->BitBtnVerbinden->text(), QStringLiteral("Verbinden"));
    QVERIFY(!m_form->BitBtnAktualisieren->isEnabled());
    QVERIFY(!m_form->Status1->isEnabled());
    QVERIFY(!m_rig->link->ComHandleValid());
    QVERIFY(m_form->ProgressBar1->isHidden());
}

void TestConnection::strainGaugeReadout() {
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X1")}));
    for (const char *line :
         {"set mvv0cal 0.52", "set mvv0 0.02", "set fnr 42", "set tasp 0.5", "set fehl 3",
          "set P2 2", "set mas 12.5", "set al1ma 8", "set al2ma 16.25"})
        device.control(QLatin1String(line));
    usePorts({device.portPath()});
    QCOMPARE(connectAndWait(), QString());

    const QStringList expected{"Name", "inpmv",  "ver",  "fnr", "tasp",  "fehl",  "kalr 1",
                               "mvv0", "kalr 0", "mvv0", "mas", "al1ma", "al2ma", "P2"};
    QCOMPARE(device.commands(), expected);
    // The characters go out paced. The simulator stamps a byte when it reads it, and a loaded
    // simulator reads some late, close to the next one: the typical gap is what counts.
    const auto bytes = device.bytes();
    QList<double> gaps;
    for (int i = 1; i < bytes.size(); ++i)
        gaps << bytes.at(i).first - bytes.at(i - 1).first;
    std::sort(gaps.begin(), gaps.end());
    QVERIFY(!gaps.isEmpty());
    QVERIFY2(gaps.at(gaps.size() / 2) > 0.045,
             qPrintable(QString::number(gaps.at(gaps.size() / 2))));

    QCOMPARE(m_form->StaticTextTyp->text(), QStringLiteral("KT 290.X1 - DMS-Schaltverstärker"));
    QVERIFY(m_form->Panel1->isVisibleTo(m_form));
    QVERIFY(!m_form->Panel2->isVisibleTo(m_form));
    QVERIFY(m_form->isStrainGaugeModel());
    QCOMPARE(m_form->StaticTextMv->text(), QStringLiteral("-0,090mV/V"));
    QCOMPARE(m_form->StaticTextMv02->text(), QStringLiteral("-0,090mV/V"));
    QCOMPARE(m_form->StaticTextFnr->text(), QStringLiteral("0042"));
    QCOMPARE(m_form->StaticTextSetupsperre->text(), QStringLiteral("ein"));
    QVERIFY(!m_form->StaticTextSetupsperre->toolTip().isEmpty());
    QCOMPARE(m_form->LabelFehler->text(),
             QStringLiteral(" Fehler 3: Brückensignal überschritten "));
    QVERIFY(m_form->LabelFehler->isVisibleTo(m_form));
    QCOMPARE(m_form->StaticTextMa->text(), QStringLiteral("12,50mA"));
    QCOMPARE(m_form->StaticTextSp1->text(), QStringLiteral("8,00mA"));
    QCOMPARE(m_form->StaticTextSP202->text(), QStringLiteral("16,25mA"));
    QVERIFY(!m_form->StaticTextSwVersion->text().isEmpty());
    QVERIFY(!m_form->StaticTextHwVersion->text().isEmpty());
    // "P2" = 2: relay 1 at rest, relay 2 switched, in both panels.
    for (QWidget *shown :
         {m_form->ImageNo1, m_form->ImageNo102, m_form->ImageNc2, m_form->ImageNc202})
        QVERIFY2(!shown->isHidden(), qPrintable(shown->objectName()));
    for (QWidget *hidden :
         {m_form->ImageNc1, m_form->ImageNc102, m_form->ImageNo2, m_form->ImageNo202})
        QVERIFY2(hidden->isHidden(), qPrintable(hidden->objectName()));
    QVERIFY(m_form->BitBtnAktualisieren->isEnabled());
    QVERIFY(m_form->ProgressBar1->isHidden());
}

void TestConnection::deviceTypes_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<QString>("typeText");
    QTest::addColumn<bool>("panel1");
    QTest::addColumn<bool>("panel2");
    QTest::newRow("X2") << "X2"
                        << "KT 290.X2 - Strom-Schaltverstärker" << false << true;
    QTest::newRow("03") << "03"
                        << "KT 290.03" << false << false;
    QTest::newRow("01") << "01"
                        << "KT 290.01 - DMS-Schaltverstärker" << true << false;
    QTest::newRow("02") << "02"
                        << "KT 290.02 - Strom-Schaltverstärker" << false << true;
}

void TestConnection::deviceTypes() {
    QFETCH(QString, type);
    QFETCH(QString, typeText);
    QFETCH(bool, panel1);
    QFETCH(bool, panel2);
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), type}));
    device.control(QStringLiteral("set mvv0 12.5"));
    usePorts({device.portPath()});
    QCOMPARE(connectAndWait(), QString());

    QCOMPARE(m_form->StaticTextTyp->text(), typeText);
    QCOMPARE(m_form->Panel1->isVisibleTo(m_form), panel1);
    QCOMPARE(m_form->Panel2->isVisibleTo(m_form), panel2);
    QCOMPARE(m_form->isStrainGaugeModel(), panel1);
    QCOMPARE(device.commands().contains(QStringLiteral("kalr 1")), panel1);
    if (!panel1) {
        QVERIFY(m_form->StaticTextMv->text().isEmpty());
        QCOMPARE(m_form->StaticTextMv02->text(), QStringLiteral("12,50mA"));
    }
}

void TestConnection::disconnectKeepsValues() {
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X2")}));
    usePorts({device.portPath()});
    QCOMPARE(connectAndWait(), QString());
    const QString type = m_form->StaticTextTyp->text();
    QVERIFY(!type.isEmpty());

    m_form->BitBtnVerbinden->click();
    QCOMPARE(m_form->BitBtnVerbinden->text(), QStringLiteral("Verbinden"));
    QCOMPARE(m_form->statusPanelText(0), QStringLiteral("getrennt"));
    QVERIFY(!m_rig->link->ComHandleValid());
    QVERIFY(!m_form->BitBtnAktualisieren->isEnabled());
    QVERIFY(!m_form->BitBtnUpload->isEnabled());
    QVERIFY(!m_form->Logfile1->isEnabled());
    QCOMPARE(m_form->StaticTextTyp->text(), type);
    QVERIFY(m_form->Panel2->isVisibleTo(m_form));
}

void TestConnection::unpluggedDeviceDisconnects() {
    SimulatorProcess device;
    const QString stableName = m_dir->filePath(QStringLiteral("kt290"));
    QVERIFY(device.start(
        {QStringLiteral("--type"), QStringLiteral("X2"), QStringLiteral("--link"), stableName}));
    usePorts({stableName});
    QCOMPARE(connectAndWait(), QString());

    // Pulled in the middle of a read-out: it ends early, the program disconnects.
    QTimer::singleShot(1500, this, [&device] { device.control(QStringLiteral("unplug")); });
    QElapsedTimer clock;
    clock.start();
    m_form->BitBtnAktualisieren->click();
    QVERIFY2(clock.elapsed() < 6000, qPrintable(QString::number(clock.elapsed())));
    QTRY_COMPARE(m_form->BitBtnVerbinden->text(), QStringLiteral("Verbinden"));
    QCOMPARE(m_form->statusPanelText(0), QStringLiteral("getrennt"));
    QVERIFY(!m_form->BitBtnAktualisieren->isEnabled());
    QVERIFY(m_form->ProgressBar1->isHidden());

    // Plugged in again: found again.
    device.control(QStringLiteral("plug"));
    QTRY_VERIFY(QFile::exists(stableName));
    QCOMPARE(connectAndWait(), QString());
    QCOMPARE(m_form->statusPanelText(0), QStringLiteral("Verbunden mit KT 290 an COM1"));
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
