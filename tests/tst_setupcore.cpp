#include "core/device/deviceconversation.h"
#include "core/link/ucom.h"
#include "core/setup/currentsetup.h"
#include "core/setup/setuptransfer.h"
#include "deviceprint.h"
#include "fakeserialport.h"

#include <QSignalSpy>
#include <QtTest>

// The setup the program holds and its transfer, on the core alone (no windows, no widgets), with
// a device in memory that answers "spr" with its print.
class TestSetupCore : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void read_data();
    void read();
    void write_data();
    void write();

private:
    FakeSerialPort *m_port = nullptr;
    std::unique_ptr<ComLink> m_link;
    std::unique_ptr<DeviceConversation> m_conversation;
    std::unique_ptr<CurrentSetup> m_setup;
    std::unique_ptr<SetupTransfer> m_transfer;
    QByteArray m_print;
};

using Result = SetupTransfer::Result;

void TestSetupCore::init() {
    qputenv("VTK290_PORTS", "/fake/1");
    auto port = std::make_unique<FakeSerialPort>();
    m_port = port.get();
    m_link = std::make_unique<ComLink>(std::move(port));
    m_conversation = std::make_unique<DeviceConversation>(*m_link);
    m_setup = std::make_unique<CurrentSetup>();
    m_transfer = std::make_unique<SetupTransfer>(*m_conversation, *m_setup);
    m_print = ExampleDevicePrint.toLatin1() + "\r\n";
    m_port->answer = [this](const QByteArray &line) {
        if (line == "spr")
            return m_print;
        // The read-out after a write has begun: the device goes away, which ends it quickly.
        if (line == "inpmv")
            QTimer::singleShot(0, m_port, [this] { m_port->pullPlug(); });
        return QByteArray();
    };
    QCOMPARE(m_link->ComOpen(QStringLiteral("COM1"), 19200), QString());
    QVERIFY(m_conversation->adoptOpenPort(1));
}

void TestSetupCore::cleanup() {
    m_transfer.reset();
    m_setup.reset();
    m_conversation.reset();
    m_link.reset();
    qunsetenv("VTK290_PORTS");
}

void TestSetupCore::read_data() {
    QTest::addColumn<bool>("silent");
    QTest::newRow("device print") << false;
    QTest::newRow("silent device") << true;
}

// The values are taken away before the device is asked; a read that brings no setup leaves them
// so, and the setup is the device's either way.
void TestSetupCore::read() {
    QFETCH(bool, silent);
    if (silent)
        m_print.clear();
    QSignalSpy cleared(m_setup.get(), &CurrentSetup::cleared);
    QSignalSpy fieldsChanged(m_setup.get(), &CurrentSetup::fieldsChanged);
    bool clearedBeforeAsking = false;
    connect(m_conversation.get(), &DeviceConversation::operationChanged, this,
            [&](DeviceConversation::Operation operation) {
                if (operation == DeviceConversation::Operation::SetupRead)
                    clearedBeforeAsking = cleared.size() == 1;
            });

    QCOMPARE(m_transfer->read(), silent ? Result::NoSetup : Result::Done);
    QVERIFY(clearedBeforeAsking);
    QCOMPARE(m_setup->origin(), CurrentSetup::Origin::Device);
    QCOMPARE(m_setup->sourceText().isEmpty(), silent);
    QCOMPARE(m_setup->fields(),
             silent ? ClearedSetupFields() : SetupFieldsFromText(ExampleDevicePrint));
    QCOMPARE(fieldsChanged.size(), silent ? 0 : 1);
}

void TestSetupCore::write_data() {
    QTest::addColumn<bool>("compare");
    QTest::addColumn<bool>("readBack");
    QTest::addColumn<bool>("changed");
    QTest::addColumn<bool>("complete");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<QString>("after"); // what the device prints after "swr1"
    QTest::addColumn<Result>("result");
    QTest::addColumn<bool>("asked");
    const QString taken = QStringLiteral("taken");
    QTest::newRow("compared, written")
        << true << false << true << true << true << taken << Result::Done << true;
    QTest::newRow("compared, declined")
        << true << false << true << true << false << taken << Result::Declined << true;
    QTest::newRow("compared, the device's own setup")
        << true << false << false << true << true << taken << Result::Unchanged << false;
    QTest::newRow("not compared") << false << false << true << true << false << taken
                                  << Result::Done << false;
    QTest::newRow("a field without value")
        << true << false << true << false << true << taken << Result::Incomplete << false;
    QTest::newRow("read back, taken")
        << true << true << true << true << true << taken << Result::Done << true;
    QTest::newRow("read back, the old setup kept")
        << true << true << true << true << true << "old" << Result::ReadBackDiffers << true;
    QTest::newRow("read back, no answer after swr1")
        << true << true << true << true << true << "none" << Result::NotReadBack << true;
}

// A write reads the device's setup first, asks its question only between two operations, and
// sends set commands only when it goes ahead; read back after "swr1", it is done only when the
// device sends the setup written.
void TestSetupCore::write() {
    QFETCH(bool, compare);
    QFETCH(bool, readBack);
    QFETCH(bool, changed);
    QFETCH(bool, complete);
    QFETCH(bool, answer);
    QFETCH(QString, after);
    QFETCH(Result, result);
    QFETCH(bool, asked);
    SetupFields fields = SetupFieldsFromText(ExampleDevicePrint);
    if (changed)
        fields.hysteresis1Item = QStringLiteral("1,0 mA");
    if (!complete)
        fields.vPotiRightItem.clear();
    m_setup->set(fields, CurrentSetup::Origin::Changed);
    QByteArray printAfter = m_print;
    if (after == QLatin1String("taken"))
        printAfter.replace("Alarm1hysterese : 0.000000", "Alarm1hysterese : 1.000000");
    else if (after == QLatin1String("none"))
        printAfter.clear();
    const auto answerBefore = m_port->answer;
    m_port->answer = [&, answerBefore](const QByteArray &line) {
        if (line == "swr1")
            m_print = printAfter;
        return answerBefore(line);
    };

    QList<bool> busyWhenAsked;
    QList<SetupDifference> shown;
    const Result got =
        m_transfer->write({compare, readBack}, {[&](const QList<SetupDifference> &differences) {
                                                    busyWhenAsked << m_conversation->isBusy();
                                                    shown = differences;
                                                    return answer;
                                                },
                                                [&](const QString &) {
                                                    busyWhenAsked << m_conversation->isBusy();
                                                    return false;
                                                },
                                                {}});

    QCOMPARE(got, result);
    QCOMPARE(busyWhenAsked, asked ? QList<bool>{false} : QList<bool>());
    const QList<SetupDifference> hysteresis{{QStringLiteral("Hysterese Relais 1 / SP1"),
                                             QStringLiteral("0,0 mA"), QStringLiteral("1,0 mA")}};
    if (asked)
        QCOMPARE(shown, hysteresis);
    QCOMPARE(m_transfer->readBackDifferences(),
             result == Result::ReadBackDiffers ? hysteresis : QList<SetupDifference>());
    QCOMPARE(m_transfer->missingFields(),
             complete ? QStringList() : QStringList{QStringLiteral("V - Poti rechts")});
    const bool written = result == Result::Done || result == Result::ReadBackDiffers ||
                         result == Result::NotReadBack;
    QCOMPARE(m_port->commands.contains("al1hy 1.0"), written);
    QCOMPARE(m_port->commands.contains("swr1"), written);
    // A question without answer is asked twice.
    const int readsBack = after == QLatin1String("none") ? 2 : 1;
    QCOMPARE(m_port->commands.count("spr"),
             !complete ? 0 : 1 + (written && readBack ? readsBack : 0));
    QCOMPARE(m_transfer->lastWrite().has_value(), written);
    // A write that went out whole is in the run's list of writes, with how far it came.
    QCOMPARE(m_transfer->writes().size(), written ? 1 : 0);
    if (written)
        QVERIFY(m_transfer->writes().first().complete());
    QCOMPARE(m_transfer->lastBackupPath().isEmpty(), !written);
}

QTEST_GUILESS_MAIN(TestSetupCore)
#include "tst_setupcore.moc"
