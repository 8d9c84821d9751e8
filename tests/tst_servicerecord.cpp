#include "diag/ustatus.h"
#include "diagrig.h"
#include "setup/setuptransfer.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

// The status report saved as a PDF service record, read back with pdftotext.
class TestServiceRecord : public QObject {
    Q_OBJECT

private slots:
    void pdfHoldsReportAndSetup_data();
    void pdfHoldsReportAndSetup();
    void unwritablePath();
};

namespace {

// The text of a PDF as pdftotext lays it out, blanks folded; empty when it could not be read.
QStringList pdfLines(const QString &path) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftotext"));
    if (tool.isEmpty())
        return {};
    QProcess process;
    process.start(tool, {QStringLiteral("-layout"), path, QStringLiteral("-")});
    if (!process.waitForFinished(20000) || process.exitCode() != 0)
        return {};
    QStringList lines;
    for (const QString &line : QString::fromUtf8(process.readAllStandardOutput()).split('\n'))
        lines << line.simplified();
    return lines;
}

} // namespace

void TestServiceRecord::pdfHoldsReportAndSetup_data() {
    QTest::addColumn<int>("reportLines");
    QTest::addColumn<int>("pages");
    QTest::newRow("one page") << 3 << 1;
    QTest::newRow("a report over two pages") << 110 << 2;
}

// The header's identity, every line of the report and the nine setup fields with their values,
// as selectable text, with page numbers.
void TestServiceRecord::pdfHoldsReportAndSetup() {
    QFETCH(int, reportLines);
    QFETCH(int, pages);
    QVERIFY2(!QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty(),
             "pdftotext (poppler-utils) is missing");
    QTemporaryDir dir;
    const auto rig = DiagRig::onFake();
    Tform1 *form = rig->windows.form1;
    MessageBoxCatcher boxes;
    form->Default1Click();
    form->StaticTextTyp->setText(QStringLiteral("KT 290.X1 - DMS-Schaltverstärker"));
    form->StaticTextFnr->setText(QStringLiteral("1234"));
    form->StaticTextSwVersion->setText(QStringLiteral("2.07"));
    form->StaticTextHwVersion->setText(QStringLiteral("1.3"));
    QStringList report{QStringLiteral("Brückenwiderstand: 350 Ohm"),
                       QStringLiteral("  Bürde: 250Ohm"), QStringLiteral("002 Setup geändert")};
    for (int line = int(report.size()); line < reportLines; ++line)
        report << QStringLiteral("Zeile %1 des Berichts").arg(line + 1);
    Tfstatus *status = rig->windows.fstatus;
    status->Memo1->setPlainText(report.join(QLatin1Char('\n')));
    status->setSaveFileNameChooser([&] { return dir.filePath(QStringLiteral("bericht.pdf")); });
    status->Speichernunter1Click();

    QFile file(dir.filePath(QStringLiteral("bericht.pdf")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QVERIFY(file.read(5) == "%PDF-");
    const QStringList lines = pdfLines(file.fileName());
    QVERIFY(!lines.isEmpty());
    const QString all = lines.join(QLatin1Char('\n'));
    for (const char *expected : {"Servicebericht KT 290", "Typ: KT 290.X1 - DMS-Schaltverstärker",
                                 "F.Nr: 1234", "SW-Version: 2.07", "HW-Version: 1.3", "Datum: "})
        QVERIFY2(lines.contains(QString::fromUtf8(expected)) ||
                     all.contains(QString::fromUtf8(expected)),
                 expected);
    for (const QString &line : report)
        QVERIFY2(lines.contains(line.simplified()), qPrintable(line));
    // Each field on one row of the table: its German name, then its value.
    const QList<QPair<QString, QString>> setup = form->setupTransfer().fieldRows();
    QCOMPARE(setup.size(), 9);
    QCOMPARE(setup.at(2),
             qMakePair(QStringLiteral("Hysterese Relais 1 / SP1"), QStringLiteral("0,0 mA")));
    for (const auto &[label, value] : setup) {
        QVERIFY(!value.isEmpty());
        QVERIFY2(lines.contains((label + QLatin1Char(' ') + value).simplified()),
                 qPrintable(label));
    }
    for (int page = 1; page <= pages; ++page)
        QVERIFY2(lines.contains(QStringLiteral("Seite %1").arg(page)), qPrintable(all));
    QVERIFY(!lines.contains(QStringLiteral("Seite %1").arg(pages + 1)));
}

// A folder that cannot take the file: the German box, and no file nor rest of one.
void TestServiceRecord::unwritablePath() {
    QTemporaryDir dir;
    const auto rig = DiagRig::onFake();
    Tfstatus *status = rig->windows.fstatus;
    status->Memo1->setPlainText(QStringLiteral("Bericht"));
    const QString path = dir.filePath(QStringLiteral("fehlt/bericht.pdf"));
    status->setSaveFileNameChooser([&] { return path; });
    MessageBoxCatcher boxes;
    status->Speichernunter1Click();
    QCOMPARE(boxes.texts.size(), 1);
    const QString start = QStringLiteral("Datei \"%1\" kann nicht erstellt werden. ")
                              .arg(QDir::toNativeSeparators(path));
    QVERIFY2(boxes.texts.first().startsWith(start), qPrintable(boxes.texts.first()));
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(QDir(dir.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());
}

QTEST_MAIN(TestServiceRecord)
#include "tst_servicerecord.moc"
