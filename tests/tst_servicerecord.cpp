#include "core/setup/setupfile.h"
#include "gui/diag/servicerecord.h"
#include "gui/diag/servicerecorddialog.h"
#include "gui/diag/ustatus.h"
#include "gui/setup/urelais.h"
#include "setupstate.h"
#include "simulatorprocess.h"
#include "windowrig.h"

#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <QtTest>
#include <memory>

// The service record: what it states of the device and when, its form, its pages; the text save
// as the memo stands and the German reasons when a save fails.
class TestServiceRecord : public QObject {
    Q_OBJECT

private slots:
    void initTestCase();
    void recordStatesDevice_data();
    void recordStatesDevice();
    void recordInputs_data();
    void recordInputs();
    void tablesAcrossPages();
    void formPerDevice_data();
    void formPerDevice();
    void existingRecord_data();
    void existingRecord();
    void unwritablePath_data();
    void unwritablePath();

private:
    // Made when the tests run, not when the build lists their cases.
    std::unique_ptr<QTemporaryDir> m_home;
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

// Text without its blanks and line breaks: a wrapped cell read back whole.
QString compact(QString text) {
    text.remove(QRegularExpression(QStringLiteral("\\s")));
    return text;
}

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
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("XDG_CONFIG_HOME", m_home->filePath(QStringLiteral("config")).toLocal8Bit());
    qputenv("XDG_DATA_HOME", m_home->filePath(QStringLiteral("data")).toLocal8Bit());
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
        << QStringList{"Hysterese Relais 1 / SP1 0,5 mA", "Relais 2 oberhalb SP2 * ",
                       "Das Programm hat seit seinem Start kein Setup"};
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
    const auto rig = WindowRig::onPort(simulator.portPath());
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
    previous.remember(serial);
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
    QString memo;
    QDateTime reportEnd;
    connect(&saver, &QTimer::timeout, status, [&] {
        if (!status->isBuilding() && status->memoLines().contains("--- KT290 Status Ende ---")) {
            saver.stop();
            memo = status->Memo1->toPlainText();
            reportEnd = QDateTime::currentDateTime();
            // The device changes after its report: the record shows what it reads when made.
            for (const char *line : {"set fehl 3", "set tasp 1", "set mas 11.72"})
                QVERIFY2(simulator.control(QLatin1String(line)), line);
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
    QCOMPARE(ServiceRecordForm::remembered(serial).technician, Entries.technician);

    // The text save is the memo as it stands, line for line, CR LF, one byte per character.
    QFile saved(textPath);
    QVERIFY(saved.open(QIODevice::ReadOnly));
    QVERIFY(memo.startsWith(QStringLiteral("--- KT290 Status Anfang ---\n")));
    QCOMPARE(saved.readAll(), memo.replace(QLatin1Char('\n'), QStringLiteral("\r\n")).toLatin1() +
                                  QByteArray("\r\n"));
    // The report's values are of the report: its Sollwert is not the one set after it.
    QVERIFY(!memo.contains(QStringLiteral("Sollwert: 11,72mA")));

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
        // Read when the record was made, after the report and the device's change.
        QVERIFY2(readAt >= reportEnd.addSecs(-1) && readAt <= end, qPrintable(match.captured(1)));
        QVERIFY(readAt >= start);
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
    if (before == Before::Write)
        QVERIFY2(all.contains(QStringLiteral("vollständig: 9 Befehle")), qPrintable(all));
    // Page 1 holds the values read when the record was made, the error and the setup lock.
    for (const char *row :
         {"Ausgang 11,72mA", "Fehler Fehler 3: Brückensignal überschritten", "Setupsperre ein"})
        QVERIFY2(pages.first().contains(QString::fromUtf8(row)), row);

    // Identity, form, read-out values, setup, signatures, then the device's raw print.
    QStringList order{
        "Gerät",
        "Auftrag",
        lines.filter(QStringLiteral("Messwerte beim Auslesen am ")).value(0),
        "Einstellung im Gerät",
        "Setup in das Gerät geschrieben (seit dem Programmstart)",
        "Unterschriften",
        lines.filter(QStringLiteral("Anhang: Statusausdruck des Geräts vom ")).value(0)};
    if (before == Before::Write)
        order.insert(5,
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

namespace {

// A record of a device as the status window gives it, without a device.
ServiceRecordContent recordContent() {
    ServiceRecordContent content;
    content.deviceType = QStringLiteral("KT 290.X1 - DMS-Schaltverstärker");
    content.serialNumber = QStringLiteral("0042");
    content.readAt = QDateTime(QDate(2026, 12, 11), QTime(9, 30, 5));
    content.reportAt = content.readAt.addSecs(-40);
    content.form = Entries;
    content.readings = {{QStringLiteral("Eingang"), QStringLiteral("0,705mV/V")},
                        {QStringLiteral("Ausgang"), QStringLiteral("18,17mA")}};
    content.setupSource = QStringLiteral("Quelle: Setup-Ausdruck des Geräts");
    content.reportLines = {QStringLiteral("--- KT290 Status Anfang ---"),
                           QStringLiteral("--- KT290 Status Ende ---")};
    return content;
}

QList<QStringList> renderedPages(const ServiceRecordContent &content, const QTemporaryDir &dir) {
    const QString path = dir.filePath(QStringLiteral("bericht.pdf"));
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(ServiceRecord::render(content)) < 0)
        return {};
    file.close();
    return pdfPages(path);
}

enum class Input { LongCustomer, LongWord, CutWrite, NotRead, LastVisit, LastVisitSame };

} // namespace

void TestServiceRecord::recordInputs_data() {
    QTest::addColumn<Input>("input");
    QTest::addColumn<QStringList>("shown");
    const QString customer = QStringLiteral(
        "Wasser- und Abwasserzweckverband Nördliches Umland, Betriebsführung durch die "
        "Stadtwerke Norddeutschland Aktiengesellschaft, Abteilung Messtechnik");
    QTest::newRow("customer of 150 characters, whole")
        << Input::LongCustomer << QStringList{QStringLiteral("Kunde") + customer};
    QTest::newRow("a word wider than the page, whole")
        << Input::LongWord << QStringList{QString(160, QLatin1Char('x'))};
    QTest::newRow("a cut write after a complete one, with how far and the backups")
        << Input::CutWrite
        << QStringList{"vollständig: 9 Befehle, gespeichert", "KT290-0042-1.txt",
                       "abgebrochen nach 4 von 9 Befehlen,", "KT290-0042-2.txt"};
    QTest::newRow("values not read, said so")
        << Input::NotRead
        << QStringList{"Das Gerät war beim Erstellen des Berichts nicht verbunden."};
    QTest::newRow("the last visit with the setup changed since")
        << Input::LastVisit
        << QStringList{"Letzter Besuch", "am 02.03.2025 09:15:00; seither geänderte Felder",
                       "Hysterese Relais 1 / SP1 0,0 mA 0,5 mA"};
    QTest::newRow("the last visit with the same setup")
        << Input::LastVisitSame
        << QStringList{"Letzter Besuch",
                       "am 02.03.2025 09:15:00; das Setup ist seither unverändert."};
}

// What the technician typed and what the run did reaches the PDF whole.
void TestServiceRecord::recordInputs() {
    QFETCH(Input, input);
    QFETCH(QStringList, shown);
    ServiceRecordContent content = recordContent();
    switch (input) {
    case Input::LongCustomer:
        content.form.customer = shown.first().mid(5);
        break;
    case Input::LongWord:
        content.form.findings = QStringLiteral("Seriennummer der Messzelle:\n") + shown.first();
        break;
    case Input::CutWrite:
        content.writes = {
            {content.reportAt.addSecs(-600), 9, 9, true, QStringLiteral("/sich/KT290-0042-1.txt")},
            {content.reportAt.addSecs(-300), 4, 9, false,
             QStringLiteral("/sich/KT290-0042-2.txt")}};
        break;
    case Input::NotRead:
        content.readings.clear();
        content.readingsNote = shown.first();
        break;
    case Input::LastVisit:
        content.sinceLastVisit = {{QStringLiteral("Hysterese Relais 1 / SP1"),
                                   QStringLiteral("0,0 mA"), QStringLiteral("0,5 mA")}};
        [[fallthrough]];
    case Input::LastVisitSame:
        content.lastVisitAt = QDateTime(QDate(2025, 3, 2), QTime(9, 15));
        break;
    }
    QTemporaryDir dir;
    const QList<QStringList> pages = renderedPages(content, dir);
    QVERIFY(!pages.isEmpty());
    QStringList lines;
    for (const QStringList &page : pages)
        lines << page;
    const QString all = compact(lines.join(QLatin1Char('\n')));
    for (const QString &text : shown)
        QVERIFY2(all.contains(compact(text)), qPrintable(text + "\n\n" + lines.join('\n')));
    if (input == Input::CutWrite)
        QVERIFY(!all.contains(compact(QStringLiteral("Das Programm hat seit seinem Start"))));
}

// However long the findings above it, a table that goes on on the next page repeats its title
// and head there, and the signatures never stand alone: the last rows they sign go with them.
void TestServiceRecord::tablesAcrossPages() {
    ServiceRecordContent content = recordContent();
    content.writtenAt = content.reportAt.addSecs(-60);
    content.writes = {{content.writtenAt, 9, 9, true, QStringLiteral("/sich/KT290-0042-1.txt")}};
    for (int field = 1; field <= 9; ++field)
        content.changes << ServiceRecordChange{QStringLiteral("Feld %1").arg(field),
                                               QStringLiteral("a%1").arg(field),
                                               QStringLiteral("b%1").arg(field)};
    const QRegularExpression changeRow(QStringLiteral("^Feld \\d \\* a\\d b\\d$"));
    const QString head = QStringLiteral("Feld vorher nachher");
    QTemporaryDir dir;
    bool split = false;
    for (int findings = 10; findings <= 70; findings += 2) {
        QStringList lines;
        for (int i = 1; i <= findings; ++i)
            lines << QStringLiteral("Befund Zeile %1").arg(i);
        content.form.findings = lines.join(QLatin1Char('\n'));
        const QList<QStringList> pages = renderedPages(content, dir);
        QVERIFY(!pages.isEmpty());
        int pagesWithRows = 0;
        for (const QStringList &page : pages) {
            const qsizetype first = page.indexOf(changeRow);
            if (first < 0)
                continue;
            ++pagesWithRows;
            const qsizetype headAt = page.indexOf(head);
            QVERIFY2(headAt >= 0 && headAt < first,
                     qPrintable(QString::number(findings) + "\n" + page.join('\n')));
            if (pagesWithRows > 1)
                QVERIFY(page.contains(QStringLiteral("Setup vor und nach dem Schreiben am "
                                                     "11.12.2026 09:28:25 (Fortsetzung)")));
        }
        split = split || pagesWithRows > 1;
        for (const QStringList &page : pages)
            if (page.contains(QStringLiteral("Unterschriften")))
                QVERIFY2(page.indexOf(changeRow) >= 0 &&
                             page.indexOf(changeRow) <
                                 page.indexOf(QStringLiteral("Unterschriften")),
                         qPrintable(QString::number(findings) + "\n" + page.join('\n')));
    }
    // The findings did push the table over a page's end.
    QVERIFY(split);
}

void TestServiceRecord::formPerDevice_data() {
    QTest::addColumn<QString>("serial");
    QTest::addColumn<bool>("sameDevice");
    QTest::newRow("the same F.Nr") << "0042" << true;
    QTest::newRow("another F.Nr") << "0077" << false;
}

// Customer, site and technician are offered again; order and findings only for the same device;
// the result never. Enter in a one-line field goes on and saves nothing; no result, no save.
void TestServiceRecord::formPerDevice() {
    QFETCH(QString, serial);
    QFETCH(bool, sameDevice);
    ServiceRecordForm last = Entries;
    last.remember(QStringLiteral("0042"));
    const ServiceRecordForm offered = ServiceRecordForm::remembered(serial);
    QCOMPARE(offered.customer, Entries.customer);
    QCOMPARE(offered.site, Entries.site);
    QCOMPARE(offered.technician, Entries.technician);
    QCOMPARE(offered.order, sameDevice ? Entries.order : QString());
    QCOMPARE(offered.findings, sameDevice ? Entries.findings : QString());
    QVERIFY(!offered.inOrder);

    ServiceRecordDialog dialog(offered);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(dialog.EditAuftrag->text(), offered.order);
    QVERIFY(!dialog.RadioInOrdnung->isChecked() && !dialog.RadioNichtInOrdnung->isChecked());
    QVERIFY(!dialog.ButtonSpeichern->isEnabled());
    dialog.RadioNichtInOrdnung->click();
    QVERIFY(dialog.ButtonSpeichern->isEnabled());
    dialog.activateWindow();
    dialog.EditKunde->setFocus();
    QTest::keyClick(dialog.EditKunde, Qt::Key_Return);
    QTRY_VERIFY(dialog.EditStandort->hasFocus());
    QVERIFY(dialog.isVisible());
    QCOMPARE(dialog.result(), int(QDialog::Rejected));
    QCOMPARE(dialog.entries().inOrder, std::optional<bool>(false));
}

void TestServiceRecord::existingRecord_data() {
    QTest::addColumn<bool>("exists");
    QTest::addColumn<bool>("replace");
    QTest::addColumn<bool>("written");
    QTest::newRow("new file: no question") << false << false << true;
    QTest::newRow("existing, kept") << true << false << false;
    QTest::newRow("existing, replaced") << true << true << true;
}

// A signed record is replaced only when the technician says so; nothing is asked before that.
void TestServiceRecord::existingRecord() {
    QFETCH(bool, exists);
    QFETCH(bool, replace);
    QFETCH(bool, written);
    const auto rig = WindowRig::onFake();
    rig->windows.form1->conversation().disconnectDevice();
    Tfstatus *status = rig->windows.fstatus;
    status->Memo1->setPlainText(QStringLiteral("Bericht"));
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("bericht.pdf"));
    if (exists) {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("signiert");
    }
    QStringList asked;
    status->setSaveFileNameChooser([&] { return path; });
    status->setReplaceConfirmer([&](const QString &file) {
        asked << file;
        return replace;
    });
    bool formAsked = false;
    status->setRecordFormChooser([&](const ServiceRecordForm &) {
        formAsked = true;
        ServiceRecordForm form = Entries;
        return std::optional(form);
    });
    status->Speichernunter1Click();
    QCOMPARE(asked, exists ? QStringList{path} : QStringList());
    QCOMPARE(formAsked, written);
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly) == (exists || written));
    const QByteArray bytes = file.readAll();
    QCOMPARE(bytes.startsWith("%PDF"), written);
    QCOMPARE(bytes == "signiert", exists && !written);
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
    const auto rig = WindowRig::onFake();
    // No device to read the record's values from: the save comes at once.
    rig->windows.form1->conversation().disconnectDevice();
    Tfstatus *status = rig->windows.fstatus;
    status->setRecordFormChooser([](const ServiceRecordForm &last) {
        ServiceRecordForm chosen = last;
        chosen.inOrder = true;
        return std::optional(chosen);
    });
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
