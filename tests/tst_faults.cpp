#include "core/link/deviceprotocol.h"
#include "gui/diag/ulogfile.h"
#include "gui/diag/usimul.h"
#include "gui/diag/ustatus.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <functional>

namespace {

// The faults the device shows, as control lines for the simulator.
struct Fault {
    const char *name;
    const char *control;
};

constexpr Fault Faults[] = {
    {"silent", "fault silent"},         {"garbage", "fault garbage"},
    {"NUL flood", "fault nul"},         {"endless text", "fault flood"},
    {"a dropped line", "fault drop 1"}, {"slow answers", "fault slow 300"},
    {"no line end", "fault nocrlf"},    {"vanishes", "fault vanish"},
};

// The long operations, how far into each the fault starts and how long each may take with it.
// The log window does not end by itself: the user closes it.
struct Operation {
    const char *name;
    int faultStartMs;
    int limitMs;
    bool endsByItself;
};

constexpr Operation Operations[] = {
    {"setup read", 100, 8000, true},      {"setup write", 1000, 20000, true},
    {"status report", 2000, 20000, true}, {"log", 400, 10000, false},
    {"simulation", 1500, 15000, true},
};

// When the device is gone, an operation only finishes its pauses: it asks nothing more.
constexpr int EndAfterLossMs = 2500;

// How long a passing fault lasts before the device behaves again.
constexpr int FaultBurstMs = 3000;
// How long the log window stays open.
constexpr int LogOpenMs = 4000;

} // namespace

// Switches a fault on in the middle of an operation and, unless the device vanishes with it,
// off again a little later, so that the operation meets the fault and its end.
class FaultBurst : public QObject {
public:
    FaultBurst(SimulatorProcess &device, const QString &fault, int startMs)
        : m_device(device)
        , m_fault(fault) {
        QTimer::singleShot(startMs, this, [this] { m_started = m_device.control(m_fault); });
        if (!lasting())
            QTimer::singleShot(startMs + FaultBurstMs, this, &FaultBurst::end);
    }

    bool lasting() const { return m_fault == QLatin1String("fault vanish"); }
    bool started() const { return m_started; }

    // Ends the fault now if it is still on; false when the device did not take it.
    bool end() {
        if (m_ended || lasting() || !m_started)
            return m_ended || lasting();
        m_ended = m_device.control(QStringLiteral("fault none"));
        return m_ended;
    }

private:
    SimulatorProcess &m_device;
    QString m_fault;
    bool m_started = false;
    bool m_ended = false;
};

// A device that misbehaves in the middle of a long operation: each operation ends within its
// time limits, the window stays responsive, no button stays disabled, no progress bar stays.
class TestFaults : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void readoutSurvives_data();
    void readoutSurvives();
    void scanSurvives_data();
    void scanSurvives();
    void operationSurvives_data();
    void operationSurvives();

private:
    // Runs an action, answering any message box, and returns its wall time in ms; `ticks`
    // counts a 100 ms timer that runs meanwhile.
    qint64 runResponsive(const std::function<void()> &action, int &ticks);
    qint64 runResponsive(QPushButton *button, int &ticks);
    // Starts an operation as the user would and returns when it has ended.
    // Starts a current-input device and connects to it with "Verbinden".
    bool connectTo(SimulatorProcess &device);
    void runOperation(const QString &operation, int limitMs);
    void checkWindowsAfter(const QString &operation, bool connected);

    std::unique_ptr<WindowRig> m_rig;
    WindowSet m_windows; // the rig's
    Tform1 *m_form = nullptr;
};

void TestFaults::init() {
    m_rig = WindowRig::make({});
    m_windows = m_rig->windows;
    m_form = m_rig->form();
}

void TestFaults::cleanup() {
    m_rig.reset();
    m_form = nullptr;
    qunsetenv("VTK290_PORTS");
}

qint64 TestFaults::runResponsive(QPushButton *button, int &ticks) {
    return runResponsive([button] { button->click(); }, ticks);
}

qint64 TestFaults::runResponsive(const std::function<void()> &action, int &ticks) {
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
    action();
    return clock.elapsed();
}

bool TestFaults::connectTo(SimulatorProcess &device) {
    if (!device.start({QStringLiteral("--type"), QStringLiteral("X2")}))
        return false;
    qputenv("VTK290_PORTS", device.portPath().toLocal8Bit());
    int ticks = 0;
    runResponsive(m_form->BitBtnVerbinden, ticks);
    return m_form->isConnected();
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
    QVERIFY(connectTo(device));
    int ticks = 0;

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

void TestFaults::operationSurvives_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("faultStartMs");
    QTest::addColumn<int>("limitMs");
    QTest::addColumn<bool>("endsByItself");
    QTest::addColumn<QString>("fault");
    for (const Operation &operation : Operations) {
        for (const Fault &fault : Faults) {
            QTest::addRow("%s, %s", operation.name, fault.name)
                << QString::fromLatin1(operation.name) << operation.faultStartMs
                << operation.limitMs << operation.endsByItself
                << QString::fromLatin1(fault.control);
        }
    }
}

void TestFaults::operationSurvives() {
    QFETCH(QString, operation);
    QFETCH(int, faultStartMs);
    QFETCH(int, limitMs);
    QFETCH(bool, endsByItself);
    QFETCH(QString, fault);
    SimulatorProcess device;
    QVERIFY(connectTo(device));
    int ticks = 0;
    if (operation == QLatin1String("setup write"))
        runResponsive([this] { m_form->Default1Click(); }, ticks);

    FaultBurst burst(device, fault, faultStartMs);
    QElapsedTimer clock;
    clock.start();
    qint64 lostAtMs = -1;
    QObject lossWatch; // the connection ends with this test
    connect(m_rig->link.get(), &ComLink::portLost, &lossWatch, [&] { lostAtMs = clock.elapsed(); });
    const qint64 elapsed = runResponsive([&] { runOperation(operation, limitMs); }, ticks);
    QVERIFY2(burst.started(), "the operation ended before the fault came");
    QVERIFY(burst.end());
    QVERIFY2(elapsed < limitMs, qPrintable(QString::number(elapsed)));
    QVERIFY2(ticks >= elapsed / 100 / 2,
             qPrintable(QStringLiteral("%1 ticks in %2 ms").arg(ticks).arg(elapsed)));
    const bool staysConnected = !burst.lasting();
    QCOMPARE(m_form->isConnected(), staysConnected);
    QCOMPARE(lostAtMs >= 0, !staysConnected);
    if (!staysConnected && endsByItself)
        QVERIFY2(elapsed - lostAtMs < EndAfterLossMs,
                 qPrintable(QStringLiteral("%1 ms after the loss").arg(elapsed - lostAtMs)));
    checkWindowsAfter(operation, staysConnected);

    if (staysConnected) {
        // Once its last late answers are out, the device and the program are in step again.
        WaitSeconds(0.7);
        QString name;
        QVERIFY(m_form->conversation().run(DeviceConversation::Operation::Readout,
                                           [&name](DeviceProtocol &protocol) {
                                               name = protocol.DeviceQuery(QStringLiteral("Name"));
                                           }));
        QVERIFY2(name.contains("KT290"), qPrintable(name));
    }
}

void TestFaults::runOperation(const QString &operation, int limitMs) {
    if (operation == QLatin1String("setup read")) {
        m_form->BitBtnUpload->click();
    } else if (operation == QLatin1String("setup write")) {
        m_form->BitBtnDownload->click();
    } else if (operation == QLatin1String("status report")) {
        // The window is closed once its report is complete.
        Tfstatus *window = m_windows.fstatus;
        QTimer closer;
        connect(&closer, &QTimer::timeout, window, [window] {
            if (window->Memo1->toPlainText().contains("--- KT290 Status Ende ---"))
                window->close();
        });
        closer.start(100);
        QTimer::singleShot(limitMs, window, &QWidget::close);
        m_form->Status1->trigger();
    } else if (operation == QLatin1String("log")) {
        QTimer::singleShot(LogOpenMs, m_windows.flogfile, &QWidget::close);
        m_form->Logfile1->trigger();
    } else if (operation == QLatin1String("simulation")) {
        // The window is closed once its automatic run (half a second after it shows) has ended.
        Tfsimul *window = m_windows.fsimul;
        bool ran = false;
        QTimer closer;
        connect(&closer, &QTimer::timeout, window, [window, &ran] {
            if (!window->ProgressBar1->isHidden())
                ran = true;
            else if (ran)
                window->close();
        });
        closer.start(50);
        m_form->Simulation1->trigger();
    } else {
        QFAIL(qPrintable(operation));
    }
}

void TestFaults::checkWindowsAfter(const QString &operation, bool connected) {
    QVERIFY(m_form->ProgressBar1->isHidden());
    QVERIFY(m_form->BitBtnVerbinden->isEnabled());
    for (QPushButton *button :
         {m_form->BitBtnAktualisieren, m_form->BitBtnUpload, m_form->BitBtnDownload})
        QCOMPARE(button->isEnabled(), connected);
    QVERIFY(m_windows.fstatus->isHidden());
    QVERIFY(m_windows.flogfile->isHidden());
    QVERIFY(m_windows.fsimul->isHidden());
    QVERIFY(m_windows.fsimul->ProgressBar1->isHidden());
    QVERIFY(m_windows.fsimul->Button1->isEnabled());
    if (operation == QLatin1String("status report")) {
        const QString report = m_windows.fstatus->Memo1->toPlainText();
        QVERIFY(report.startsWith(QLatin1String("--- KT290 Status Anfang ---")));
    }
}

QTEST_MAIN(TestFaults)
#include "tst_faults.moc"
