#include "diag/servicerecord.h"
#include "diag/ustatus.h"
#include "diagrig.h"
#include "setup/setupfile.h"
#include "setup/urelais.h"
#include "setupstate.h"
#include "simulatorprocess.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The service record: what it states of the device, its form, its pages; the text save's head
// and the German reasons when a save fails.
class TestServiceRecord : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void recordStatesDevice_data();
    void recordStatesDevice();
    void unwritablePath_data();
    void unwritablePath();

private:
    QTemporaryDir m_home;
};

namespace {

// The pages of a PDF as pdftotext lays them out, each a list of lines with blanks folded.
QList<QStringList> pdfPages(const QString &path) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.start(tool, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return {};
    QList<QStringList> pages;
    for (const QString &page : QString::fromUtf8(process.readAllStandardOutput()).split('\f')) {
        QStringList lines;
        for (const QString &line : page.split('\n'))
            if (!line.simplified().isEmpty())
                lines << line.simplified();
        if (!lines.isEmpty())
            pages << lines;
    }
    return pages;
}

const ServiceRecordForm Entries{QStringLiteral("Stadtwerke Nord"),
                                QStringLiteral("Pumpwerk 3 / PT-12"),
                                QStringLiteral("A-4711"),
                                QStringLiteral("M. Keller"),
                                QStringLiteral("Nullpunkt geprüft\nRelais 1 getauscht"),
                                false};

// The device's setup as the simulator is given it: hysteresis 0.5 / 1.0, direction -1,
// V potentiometer left 1.5, relay 1 energised above SP1.
const QStringList DeviceSetup{"set al1hy 0.5", "set al2hy 1", "set druck -1",
                              "set vpoa 1.5",  "set R1POL 1", "set R2POL 0"};
const QStringList DeviceRows{"Relais 1 oberhalb SP1 erregt",
                             "Relais 2 oberhalb SP2 stromlos",
                             "Hysterese Relais 1 / SP1 0,5 mA",
                             "Hysterese Relais 2 / SP2 1,0 mA",
                             "Sicherheitsmodus aus",
                             "V - Poti links 1,5 mV/V",
                             "V - Poti rechts 0,83 mV/V",
                             "0 - Poti -0,50 … +0,50 mV/V",
                             "Funktion (Zug/Druck) Zug"};

enum class Before { DefaultInDialogs, UnwrittenEdit, Write };

} // namespace

void TestServiceRecord::initTestCase() {
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
             "pdftotext (poppler-utils) is missing");
    // The remembered entries and the backups stay inside the test.
    qputenv("XDG_CONFIG_HOME", m_home.filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_home.filePath(QStringLiteral("data")).toLocal8Bit());
}

void TestServiceRecord::recordStatesDevice_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<Before>("before");
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<QStringList>("absent");
    // Right after connecting the program holds the default setup: none of it is the device's.
    QTest::newRow("X1, dialogs on default")
        << "X1" << Before::DefaultInDialogs << DeviceRows
        << QStringList{"Hysterese Relais 1 / SP1 0,0 mA", "V - Poti links 2,0 mV/V",
                       "Funktion (Zug/Druck) Druck", "Setup vor und nach"};
    QTest::newRow("X1, changed and unwritten")
        << "X1" << Before::UnwrittenEdit << DeviceRows
        << QStringList{"2,0 mA", "Sicherheitsmodus ein", "Setup vor und nach"};
    QTest::newRow("X2, the model's rows only")
        << "X2" << Before::DefaultInDialogs << DeviceRows.mid(0, 5)
        << QStringList{"V - Poti", "0 - Poti", "Funktion (Zug/Druck)", "Setup vor und nach"};
    QStringList written = DeviceRows;
    written[2] = "Hysterese Relais 1 / SP1 2,0 mA";
    QTest::newRow("X1, after a write")
        << "X1" << Before::Write
        << (written << "Hysterese Relais 1 / SP1 * 0,5 mA 2,0 mA"
                    << "Hysterese Relais 2 / SP2 1,0 mA 1,0 mA")
        << QStringList{"Hysterese Relais 1 / SP1 0,5 mA", "Relais 2 oberhalb SP2 * "};
}

// A status report read from the simulator and saved as PDF: the setup table is the device's
// own print of that report, in the model's rows; the form's entries, the identity on every page,
// "Seite n von m", the signature lines and the raw print as appendix, in the record's order.
void TestServiceRecord::recordStatesDevice() {
    QFETCH(QString, type);
    QFETCH(Before, before);
    QFETCH(QStringList, rows);
    QFETCH(QStringList, absent);
    SimulatorProcess simulator;
    QVERIFY(simulator.start({QStringLiteral("--type"), type}));
    for (const QString &line : DeviceSetup)
        QVERIFY2(simulator.control(line), qPrintable(line));
    const auto rig = DiagRig::onPort(simulator.portPath());
    QVERIFY2(rig->opened(), qPrintable(rig->openError()));
    Tform1 *form = rig->windows.form1;
    MessageBoxCatcher boxes;
    form->BitBtnAktualisierenClick(form->BitBtnAktualisieren);
    const QString serial = form->StaticTextFnr->text();
    QVERIFY(!serial.isEmpty());
    form->Default1Click();
    if (before == Before::UnwrittenEdit)
        setupstate::setSwitchPoints(*rig->windows.setup, true, true, 2.0, 2.0, true);
    if (before == Before::Write) {
        form->BitBtnUpload->click();
        setupstate::setSwitchPoints(*rig->windows.setup, false, true, 2.0, 1.0, false);
        form->BitBtnDownload->click();
        QVERIFY(simulator.commands().contains(QStringLiteral("al1hy 2.0")));
    }

    ServiceRecordForm previous;
    previous.customer = QStringLiteral("Kunde vom letzten Mal");
    previous.remember();
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bericht.pdf"));
    const QString textPath = dir.filePath(QStringLiteral("bericht.txt"));
    Tfstatus *status = rig->windows.fstatus;
    QString offered;
    status->setRecordFormChooser([&](const ServiceRecordForm &last) {
        offered = last.customer;
        return std::optional<ServiceRecordForm>(Entries);
    });
    QTimer saver;
    connect(&saver, &QTimer::timeout, status, [&] {
        if (!status->isBuilding() && status->memoLines().contains("--- KT290 Status Ende ---")) {
            saver.stop();
            status->setSaveFileNameChooser([&] { return path; });
            status->Speichernunter1Click();
            status->setSaveFileNameChooser([&] { return textPath; });
            status->Speichernunter1Click();
            status->Schlieen1->trigger();
        }
    });
    saver.start(100);
    QTimer::singleShot(90000, status, &QDialog::reject); // never hang the test run
    const QDateTime start = QDateTime::currentDateTime().addSecs(-1);
    form->Status1Click();
    const QDateTime end = QDateTime::currentDateTime().addSecs(1);
    QCOMPARE(offered, previous.customer);
    QCOMPARE(ServiceRecordForm::remembered().technician, Entries.technician);

    // The text save opens with the same identity, then the report.
    QFile saved(textPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    const std::optional<QString> decoded = SetupFile::decode(saved.readAll());
    QVERIFY(decoded);
    const QStringList text = decoded->split(QStringLiteral("\r\n"));
    QCOMPARE(text.value(0), QStringLiteral("Servicebericht KT 290"));
    QVERIFY2(text.value(1).startsWith(QStringLiteral("Typ: KT 290.") + type),
             qPrintable(text.value(1)));
    QCOMPARE(text.value(2), QStringLiteral("F.Nr: ") + serial);
    const qsizetype reportStart = text.indexOf(QStringLiteral("--- KT290 Status Anfang ---"));
    QVERIFY(reportStart > 2);
    const QStringList readLine = text.mid(0, reportStart).filter(QStringLiteral("Gelesen am: "));
    QCOMPARE(readLine.size(), 1);

    const QList<QStringList> pages = pdfPages(path);
    QVERIFY2(pages.size() >= 2, qPrintable(QString::number(pages.size())));
    QStringList lines;
    const QRegularExpression head(QStringLiteral("· F\\.Nr %1 · gelesen am (\\S+ \\S+)$")
                                      .arg(QRegularExpression::escape(serial)));
    for (qsizetype page = 0; page < pages.size(); ++page) {
        const QStringList &pageLines = pages.at(page);
        const QRegularExpressionMatch match = head.match(pageLines.first());
        QVERIFY2(match.hasMatch(), qPrintable(pageLines.first()));
        QVERIFY2(pageLines.first().contains(QStringLiteral("KT 290.") + type),
                 qPrintable(pageLines.first()));
        const QDateTime readAt =
            QDateTime::fromString(match.captured(1), QStringLiteral("dd.MM.yyyy HH:mm:ss"));
        QVERIFY2(readAt >= start && readAt <= end, qPrintable(match.captured(1)));
        QCOMPARE(readLine.first(), QStringLiteral("Gelesen am: ") + match.captured(1));
        QCOMPARE(pageLines.last(),
                 QStringLiteral("Seite %1 von %2").arg(page + 1).arg(pages.size()));
        lines << pageLines;
    }
    const QString all = lines.join(QLatin1Char('\n'));
    for (const QString &row : rows)
        QVERIFY2(lines.contains(row), qPrintable(row + "\n\n" + all));
    for (const QString &row : absent)
        QVERIFY2(!all.contains(row), qPrintable(row));
    static constexpr const char *FormLines[] = {
        "Kunde Stadtwerke Nord",     "Standort / Messstelle Pumpwerk 3 / PT-12",
        "Auftragsnummer A-4711",     "Techniker M. Keller",
        "Ergebnis nicht in Ordnung", "Nullpunkt geprüft",
        "Relais 1 getauscht"};
    for (const char *entry : FormLines)
        QVERIFY2(lines.contains(QString::fromUtf8(entry)), entry);
    QVERIFY(all.contains(QStringLiteral("Ort, Datum, Unterschrift Techniker")));
    QVERIFY(all.contains(QStringLiteral("Ort, Datum, Unterschrift Kunde")));
    QVERIFY(lines.filter(QRegularExpression(QStringLiteral("^Schaltpunkt SP1 .*mA$"))).size() == 1);

    // Identity, form, read-out values, setup, signatures, then the device's raw print.
    QStringList order{"Gerät",
                      "Auftrag",
                      "Messwerte beim Auslesen",
                      "Einstellung im Gerät",
                      "Unterschriften",
                      "Anhang: Statusausdruck des Geräts"};
    if (before == Before::Write)
        order.insert(4,
                     lines.filter(QStringLiteral("Setup vor und nach dem Schreiben am ")).value(0));
    qsizetype at = -1;
    for (const QString &heading : order) {
        const qsizetype next = lines.indexOf(heading);
        QVERIFY2(next > at, qPrintable(heading));
        at = next;
    }
    qsizetype raw = 0;
    while (raw < lines.size() && !lines.at(raw).startsWith(QStringLiteral("mako: ")))
        ++raw;
    QVERIFY2(raw > at && raw < lines.size(), qPrintable(all));
}

void TestServiceRecord::unwritablePath_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("reason");
    // DIR: the test's folder.
    QTest::newRow("missing folder, PDF") << "fehlt/bericht.pdf"
                                         << "den Ordner DIR/fehlt gibt es nicht";
    QTest::newRow("a file as folder, text") << "datei.txt/bericht.txt"
                                            << "DIR/datei.txt ist kein Ordner";
    QTest::newRow("a folder as file, text") << "ordner.txt"
                                            << "DIR/ordner.txt ist ein Ordner";
}

// A path that cannot take the file: the German box with the German reason, and no file nor rest
// of one.
void TestServiceRecord::unwritablePath() {
    QFETCH(QString, name);
    QFETCH(QString, reason);
    QTemporaryDir dir;
    QFile file(dir.filePath(QStringLiteral("datei.txt")));
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.close();
    QVERIFY(QDir(dir.path()).mkdir(QStringLiteral("ordner.txt")));
    const auto rig = DiagRig::onFake();
    Tfstatus *status = rig->windows.fstatus;
    status->setRecordFormChooser([](const ServiceRecordForm &last) { return std::optional(last); });
    status->Memo1->setPlainText(QStringLiteral("Bericht"));
    const QString path = dir.filePath(name);
    reason.replace(QStringLiteral("DIR"), QDir::toNativeSeparators(dir.path()));
    status->setSaveFileNameChooser([&] { return path; });
    MessageBoxCatcher boxes;
    status->Speichernunter1Click();
    QCOMPARE(boxes.texts.size(), 1);
    QCOMPARE(boxes.texts.first(), QStringLiteral("Datei \"%1\" kann nicht erstellt werden. %2")
                                      .arg(QDir::toNativeSeparators(path), reason));
    QCOMPARE(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries),
             QStringList({"datei.txt", "ordner.txt"}));
    QVERIFY(QDir(dir.filePath("ordner.txt")).isEmpty());
}

QTEST_MAIN(TestServiceRecord)
#include "tst_servicerecord.moc"
