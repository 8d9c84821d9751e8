#include "core/device/deviceconversation.h"
#include "core/device/operationrules.h"
#include "core/device/programend.h"
#include "core/link/ucom.h"
#include "core/setup/setupfields.h"
#include "fakeserialport.h"

#include <QSignalSpy>
#include <QTimer>
#include <QtTest>

// What may run in each state of the device conversation, and how the program ends: an end
// request and interruptions of both programs against a device that answers nothing (a read-out
// waits on every question) and against a setup write that has begun.
class TestProgramRules : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void rules_data();
    void rules();
    void rulesFollowTheConversation();
    void endRequest_data();
    void endRequest();
    void interruptions_data();
    void interruptions();

private:
    // Runs `operation` ("none", "read-out", "setup write"); `act` comes once the operation talks
    // to the device (a setup write: once its first set command is out).
    void runOperation(const QString &operation, const std::function<void()> &act);

    FakeSerialPort *m_port = nullptr;
    std::unique_ptr<ComLink> m_link;
    std::unique_ptr<DeviceConversation> m_conversation;
};

namespace {

using Operation = DeviceConversation::Operation;
using Allowed = OperationRules::Allowed;

// A grace time that no row reaches: the waits of the process are never cut.
constexpr int NoGraceMs = 600000;

const QString FinishingStatus = QStringLiteral("Das Setup wird noch fertig geschrieben …");

SetupFields completeSetup() {
    SetupFields fields;
    fields.relay1DeEnergised = false;
    fields.relay2DeEnergised = false;
    fields.hysteresis1Item = QStringLiteral("1,0 mA");
    fields.hysteresis2Item = QStringLiteral("0,5 mA");
    fields.safetyMode = true;
    fields.pressureIndex = 0;
    fields.zeroIndex = 0;
    fields.vPotiLeftItem = QStringLiteral("1,5 mV/V");
    fields.vPotiRightItem = QStringLiteral("0,5 mV/V");
    return fields;
}

// Allowed as a row writes it: connect, device, idle, range, reconnect, save.
Allowed allowed(bool connect, bool device, bool idle, bool range, bool reconnect, bool save) {
    Allowed result;
    result.connectButton = connect;
    result.deviceOperations = device;
    result.idleActions = idle;
    result.rangeEditor = range;
    result.reconnect = reconnect;
    result.saveResults = save;
    return result;
}

QString describe(const Allowed &a) {
    return QStringLiteral("connect %1 device %2 idle %3 range %4 reconnect %5 save %6")
        .arg(a.connectButton)
        .arg(a.deviceOperations)
        .arg(a.idleActions)
        .arg(a.rangeEditor)
        .arg(a.reconnect)
        .arg(a.saveResults);
}

} // namespace

void TestProgramRules::init() {
    qputenv("VTK290_PORTS", "/fake/1");
    auto port = std::make_unique<FakeSerialPort>();
    m_port = port.get();
    m_link = std::make_unique<ComLink>(std::move(port));
    m_conversation = std::make_unique<DeviceConversation>(*m_link);
    // The device echoes and answers nothing.
    QCOMPARE(m_link->ComOpen(QStringLiteral("COM1"), 19200), QString());
    QVERIFY(m_conversation->adoptOpenPort(1));
}

void TestProgramRules::cleanup() {
    m_conversation.reset();
    m_link.reset();
    qunsetenv("VTK290_PORTS");
}

void TestProgramRules::rules_data() {
    QTest::addColumn<bool>("connected");
    QTest::addColumn<int>("operation");
    QTest::addColumn<bool>("shutDown");
    QTest::addColumn<bool>("strainGauge");
    QTest::addColumn<Allowed>("expected");
    const auto row = [](const char *name, bool connected, Operation operation, bool shutDown,
                        bool strainGauge, const Allowed &expected) {
        QTest::newRow(name) << connected << int(operation) << shutDown << strainGauge << expected;
    };
    //                                                       connect device idle  range  reconnect save
    row("start", false, Operation::None, false, true, allowed(true, false, true, true, true, true));
    row("disconnected, current model", false, Operation::None, false, false,
        allowed(true, false, true, false, true, true));
    row("connected", true, Operation::None, false, true,
        allowed(true, true, true, true, false, true));
    row("connected, current model", true, Operation::None, false, false,
        allowed(true, true, true, false, false, true));
    // The scan cannot be cut by "Trennen": there is nothing to disconnect yet.
    row("scan", false, Operation::Scan, false, true,
        allowed(false, false, false, false, false, false));
    // "Trennen" stops a running operation at its next safe point; nothing else starts.
    for (const auto &[name, operation] :
         {std::pair{"read-out", Operation::Readout}, std::pair{"setup write", Operation::SetupWrite},
          std::pair{"status report", Operation::StatusReport}, std::pair{"live", Operation::Live},
          std::pair{"terminal", Operation::Terminal}})
        row(name, true, operation, false, true, allowed(true, false, false, false, false, false));
    // A read-out of a current model has cleared the mark; the editor stays off while it runs.
    row("read-out, current model", true, Operation::Readout, false, false,
        allowed(true, false, false, false, false, false));
    // While the program ends nothing starts, and "Trennen" is no more.
    row("ending, connected", true, Operation::None, true, true,
        allowed(false, false, false, false, false, true));
    row("ending, disconnected", false, Operation::None, true, true,
        allowed(false, false, false, false, false, true));
    row("ending during a read-out", true, Operation::Readout, true, true,
        allowed(false, false, false, false, false, false));
    row("ending during the scan", false, Operation::Scan, true, true,
        allowed(false, false, false, false, false, false));
}

void TestProgramRules::rules() {
    QFETCH(bool, connected);
    QFETCH(int, operation);
    QFETCH(bool, shutDown);
    QFETCH(bool, strainGauge);
    QFETCH(Allowed, expected);
    const Allowed seen =
        OperationRules::forState({connected, Operation(operation), shutDown, strainGauge});
    QCOMPARE(describe(seen), describe(expected));
}

// The rules object reads the conversation itself and says so at every change: the connection,
// a running operation and its end, the strain-gauge mark, the program's end.
void TestProgramRules::rulesFollowTheConversation() {
    OperationRules rules(*m_conversation);
    QSignalSpy changes(&rules, &OperationRules::changed);
    QVERIFY(rules.allowed().deviceOperations);
    QVERIFY(!rules.allowed().reconnect);

    m_conversation->setStrainGauge(false);
    QCOMPARE(changes.size(), 1);
    QVERIFY(!rules.allowed().rangeEditor);

    Allowed during;
    QVERIFY(m_conversation->run(Operation::Live,
                                [&](DeviceProtocol &) { during = rules.allowed(); }));
    QCOMPARE(describe(during), describe(allowed(true, false, false, false, false, false)));
    QCOMPARE(describe(rules.allowed()), describe(allowed(true, true, true, false, false, true)));

    m_conversation->disconnectDevice();
    QCOMPARE(describe(rules.allowed()), describe(allowed(true, false, true, false, true, true)));
    const qsizetype beforeEnd = changes.size();
    m_conversation->shutDown();
    QCOMPARE(changes.size(), beforeEnd + 1);
    QCOMPARE(describe(rules.allowed()), describe(allowed(false, false, false, false, false, true)));
    QCOMPARE(describe(changes.last().at(0).value<Allowed>()), describe(rules.allowed()));
}

void TestProgramRules::runOperation(const QString &operation, const std::function<void()> &act) {
    if (operation == QLatin1String("none")) {
        act();
        return;
    }
    bool acted = false;
    QTimer watch;
    connect(&watch, &QTimer::timeout, this, [&] {
        const bool talking = operation == QLatin1String("setup write")
                                 ? m_conversation->isFinishingWrite()
                                 : m_conversation->isBusy() && !m_port->commands.isEmpty();
        if (acted || !talking)
            return;
        acted = true;
        act();
    });
    watch.start(10);
    if (operation == QLatin1String("setup write"))
        QVERIFY(m_conversation->writeSetup(completeSetup()));
    else
        QVERIFY(m_conversation->readout().has_value());
    QVERIFY(acted);
}

void TestProgramRules::endRequest_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<int>("requests");
    QTest::addColumn<bool>("cut"); // the user answers the question with "Ja"
    QTest::addColumn<QList<int>>("answers");
    QTest::addColumn<QString>("waitingText");
    QTest::addColumn<QString>("written"); // "stored", "cut off" or "" (no write)
    using A = ProgramEnd::Answer;
    QTest::newRow("idle") << "none" << 1 << false << QList<int>{int(A::Now)} << "" << "";
    QTest::newRow("read-out") << "read-out" << 1 << false << QList<int>{int(A::Wait)} << "" << "";
    // A second request during a read-out asks nothing: the read-out is stopping anyway.
    QTest::newRow("read-out, twice")
        << "read-out" << 2 << false << QList<int>{int(A::Wait), int(A::Wait)} << "" << "";
    QTest::newRow("setup write") << "setup write" << 1 << false << QList<int>{int(A::Wait)}
                                 << FinishingStatus << "stored";
    QTest::newRow("setup write, asked again, Nein")
        << "setup write" << 2 << false << QList<int>{int(A::Wait), int(A::AskToCut)}
        << FinishingStatus << "stored";
    QTest::newRow("setup write, asked again, Ja")
        << "setup write" << 2 << true << QList<int>{int(A::Wait), int(A::AskToCut)}
        << FinishingStatus << "cut off";
}

// The window's end: nothing runs, it closes at once; else it waits for the running operation
// and is told when it may close. A setup write is finished unless the user cuts it.
void TestProgramRules::endRequest() {
    QFETCH(QString, operation);
    QFETCH(int, requests);
    QFETCH(bool, cut);
    QFETCH(QList<int>, answers);
    QFETCH(QString, waitingText);
    QFETCH(QString, written);
    ProgramEnd end(*m_conversation, ProgramEnd::Front::Window, NoGraceMs);
    QSignalSpy mayClose(&end, &ProgramEnd::mayClose);
    QList<int> seen;
    QString waiting;
    bool pending = false;
    QElapsedTimer sinceRequest;
    runOperation(operation, [&] {
        sinceRequest.start();
        for (int i = 0; i < requests; ++i)
            seen << int(end.request());
        waiting = end.waitingText();
        pending = end.isPending();
        if (cut)
            end.cutWrite();
    });
    QCOMPARE(seen, answers);
    QCOMPARE(waiting, waitingText);
    QVERIFY(m_conversation->isShutDown());
    if (operation == QLatin1String("read-out")) {
        // Stopped at its next safe point: the question under way, not the rest.
        QVERIFY2(sinceRequest.elapsed() < 2500, qPrintable(QString::number(sinceRequest.elapsed())));
        QVERIFY2(m_port->commands.size() <= 2, m_port->commands.join(" | ").constData());
    }
    if (!written.isEmpty()) {
        QCOMPARE(m_conversation->lastWrite().cutOff(), written == QLatin1String("cut off"));
        QCOMPARE(m_conversation->lastWrite().stored, written == QLatin1String("stored"));
    }
    // Told once, from the event loop, when the operation has ended; at once nothing to wait for.
    const bool waits = answers.first() != int(ProgramEnd::Answer::Now);
    QCOMPARE(pending, waits);
    QVERIFY(!end.isPending());
    if (!waits) {
        QTest::qWait(50);
        QCOMPARE(mayClose.size(), 0);
    } else {
        QVERIFY(mayClose.size() == 1 || mayClose.wait(1000));
        QTest::qWait(50);
        QCOMPARE(mayClose.size(), 1);
    }
    QCOMPARE(end.endText([] { return QStringLiteral("abgeschnitten"); }),
             written == QLatin1String("cut off")
                 ? QStringLiteral("abgeschnitten")
                 : QStringLiteral("vtk290 wurde beendet. Jeder Befehl hat das Gerät ganz "
                                  "erreicht, der Kalibrierwiderstand ist aus."));
}

void TestProgramRules::interruptions_data() {
    QTest::addColumn<bool>("window");
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("requestedBefore"); // "Beenden" came before the signals
    QTest::addColumn<QStringList>("texts");    // what each interruption says
    QTest::addColumn<QList<bool>>("closes");   // whether the window closes on each
    QTest::addColumn<bool>("shutDown");
    QTest::addColumn<QString>("written");

    const QString cliFinishing = QStringLiteral(
        "Das Setup wird noch fertig geschrieben … (ein zweites Strg+C bricht nach dem laufenden "
        "Befehl ab; das im Gerät gespeicherte Setup ist dann womöglich unvollständig)");
    const QString stopping = QStringLiteral("Wird abgebrochen …");
    const QString forced = QStringLiteral("Wird nach dem laufenden Befehl abgebrochen …");

    QTest::newRow("command line, read-out, once")
        << false << "read-out" << false << QStringList{stopping} << QList<bool>{false} << true
        << "";
    QTest::newRow("command line, read-out, twice")
        << false << "read-out" << false << QStringList{stopping, ""} << QList<bool>{false, false}
        << true << "";
    QTest::newRow("command line, setup write, once")
        << false << "setup write" << false << QStringList{cliFinishing} << QList<bool>{false}
        << true << "stored";
    QTest::newRow("command line, setup write, twice")
        << false << "setup write" << false << QStringList{cliFinishing, forced}
        << QList<bool>{false, false} << true << "cut off";

    // The window closes on the first (its close is the end request) and says a word on stderr
    // only where a write is being finished.
    QTest::newRow("window, idle, once")
        << true << "none" << false << QStringList{""} << QList<bool>{true} << false << "";
    QTest::newRow("window, setup write, once")
        << true << "setup write" << false << QStringList{FinishingStatus} << QList<bool>{true}
        << false << "stored";
    // After "Beenden" the window is already waiting: a second signal cuts, and closes nothing
    // more.
    QTest::newRow("window, setup write after Beenden, twice")
        << true << "setup write" << true << QStringList{FinishingStatus, ""}
        << QList<bool>{true, false} << true << "cut off";
    // Without an end request before, the second signal closes the window too.
    QTest::newRow("window, setup write, twice")
        << true << "setup write" << false << QStringList{FinishingStatus, ""}
        << QList<bool>{true, true} << false << "cut off";
}

void TestProgramRules::interruptions() {
    QFETCH(bool, window);
    QFETCH(QString, operation);
    QFETCH(bool, requestedBefore);
    QFETCH(QStringList, texts);
    QFETCH(QList<bool>, closes);
    QFETCH(bool, shutDown);
    QFETCH(QString, written);
    ProgramEnd end(*m_conversation,
                   window ? ProgramEnd::Front::Window : ProgramEnd::Front::CommandLine, NoGraceMs);
    QStringList said;
    QList<bool> closed;
    QVERIFY(!end.wasInterrupted());
    runOperation(operation, [&] {
        if (requestedBefore)
            end.request();
        for (int count = 1; count <= texts.size(); ++count) {
            const ProgramEnd::Interruption interruption = end.interrupt(count);
            said << interruption.text;
            closed << interruption.close;
        }
    });
    QCOMPARE(said, texts);
    if (window)
        QCOMPARE(closed, closes);
    QVERIFY(end.wasInterrupted());
    QCOMPARE(m_conversation->isShutDown(), shutDown);
    if (!written.isEmpty()) {
        QCOMPARE(m_conversation->lastWrite().cutOff(), written == QLatin1String("cut off"));
        QCOMPARE(m_conversation->lastWrite().stored, written == QLatin1String("stored"));
    }
    if (operation == QLatin1String("read-out"))
        QVERIFY2(m_port->commands.size() <= 2, m_port->commands.join(" | ").constData());
}

QTEST_GUILESS_MAIN(TestProgramRules)
#include "tst_programrules.moc"
