#include "link/qtserialportio.h"
#include "link/ucom.h"
#include "main/fmain1.h"
#include "main/startup.h"
#include "simulatorprocess.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

// A device that misbehaves in the middle of the scan or the read-out: each operation ends within
// its time limits, the window stays responsive, no button stays disabled, no progress bar stays.
class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readoutSurvives_data();
    void readoutSurvives();
    void scanSurvives_data();
    void scanSurvives();

private:
    // Runs a click, answering any message box, and returns its wall time in ms; `ticks` counts
    // a 100 ms timer that runs meanwhile.
    qint64 runResponsive(QPushButton *button, int &ticks);

    std::unique_ptr<ComLink> m_link;
    WindowSet m_windows;
    Tform1 *m_form = nullptr;
    QTemporaryDir m_dir;
};

void TestFaults::init() {
    m_link = std::make_unique<ComLink>(std::make_unique<QtSerialPortIo>());
    m_windows = {};
    createWindows(*m_link, m_windows);
    m_form = m_windows.form1;
    m_form->Timer2->stop();
}

void TestFaults::cleanup() {
    delete m_form;
    m_link.reset();
    qunsetenv("VTK290_PORTS");
}

qint64 TestFaults::runResponsive(QPushButton *button, int &ticks) {
    ticks = 0;
    QTimer ticker;
    connect(&ticker, &QTimer::timeout, this, [&ticks] {
        ++ticks;
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget()))
            box->accept();
    });
    ticker.start(100);
    QElapsedTimer clock;
    clock.start();
    button->click();
    return clock.elapsed();
}

void TestFaults::readoutSurvives_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<bool>("staysConnected");
    QTest::newRow("garbage") << "fault garbage" << 30000 << true;
    QTest::newRow("NUL flood") << "fault nul" << 45000 << true;
    QTest::newRow("endless text") << "fault flood" << 45000 << true;
    QTest::newRow("a dropped line") << "fault drop 1" << 15000 << true;
    QTest::newRow("slow answers") << "fault slow 300" << 45000 << true;
    QTest::newRow("answers without line end") << "fault nocrlf" << 45000 << true;
    QTest::newRow("vanishes") << "fault vanish" << 6000 << false;
}

void TestFaults::readoutSurvives() {
    QFETCH(QString, fault);
    QFETCH(int, limitMs);
    QFETCH(bool, staysConnected);
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--type"), QStringLiteral("X2")}));
    qputenv("VTK290_PORTS", device.portPath().toLocal8Bit());
    int ticks = 0;
    runResponsive(m_form->BitBtnVerbinden, ticks);
    QVERIFY(m_form->isConnected());

    QVERIFY(device.control(fault));
    const qint64 elapsed = runResponsive(m_form->BitBtnAktualisieren, ticks);
    QVERIFY(device.control(QStringLiteral("fault none")) || !staysConnected);
    QVERIFY2(elapsed < limitMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(ticks >= elapsed / 100 / 2,
             qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(elapsed)));
    QVERIFY(m_form->ProgressBar1->isHidden());
    QCOMPARE(m_form->isConnected(), staysConnected);
    QCOMPARE(m_form->BitBtnAktualisieren->isEnabled(), staysConnected);
    QVERIFY(m_form->BitBtnVerbinden->isEnabled());

    if (staysConnected) {
        // The device behaves again: once its last late answers are out, the next read-out
        // shows its values.
        WaitSeconds(0.7);
        runResponsive(m_form->BitBtnAktualisieren, ticks);
        QCOMPARE(m_form->StaticTextTyp->text(),
                 QStringLiteral("KT 290.X2 - Strom-Schaltverstärker"));
    }
}

void TestFaults::scanSurvives_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<bool>("found");
    // Amid a flood the device still answers its name: it is found and read out.
    QTest::newRow("garbage") << "garbage" << 15000 << false;
    QTest::newRow("NUL flood") << "nul" << 45000 << true;
    QTest::newRow("endless text") << "flood" << 45000 << true;
    QTest::newRow("vanishes at the question") << "vanish" << 15000 << false;
}

void TestFaults::scanSurvives() {
    QFETCH(QString, fault);
    QFETCH(int, limitMs);
    QFETCH(bool, found);
    SimulatorProcess device;
    QVERIFY(device.start({QStringLiteral("--fault"), fault}));
    qputenv("VTK290_PORTS", device.portPath().toLocal8Bit());
    int ticks = 0;
    const qint64 elapsed = runResponsive(m_form->BitBtnVerbinden, ticks);
    QVERIFY2(elapsed < limitMs, qPrintable(QString::number(elapsed)));
    QVERIFY(ticks >= elapsed / 100 / 2);
    QVERIFY(m_form->ProgressBar1->isHidden());
    QVERIFY(m_form->BitBtnVerbinden->isEnabled());
    QCOMPARE(m_form->isConnected(), found);
    QCOMPARE(m_form->BitBtnAktualisieren->isEnabled(), found);
    if (!found)
        QCOMPARE(m_form->statusPanelText(0), QStringLiteral("kein KT 290 gefunden."));
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
