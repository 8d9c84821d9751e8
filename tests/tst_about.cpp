#include "core/link/allgem.h"
#include "gui/help/uinfo.h"
#include "gui/help/upotikontr.h"
#include "gui/main/fmain1.h"
#include "gui/main/windowset.h"
#include "windowrig.h"

#include <QAction>
#include <QApplication>
#include <QDesktopServices>
#include <QFile>
#include <QFrame>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include <algorithm>

namespace {

// Takes the documents the program asks the desktop to open.
class OpenedDocuments final : public QObject {
    Q_OBJECT

public:
    QList<QUrl> urls;

public slots:
    void open(const QUrl &url) { urls << url; }
};

// The next widget of the focus chain that the tab key stops at.
QWidget *nextTabStop(QWidget *widget) {
    QWidget *next = widget->nextInFocusChain();
    while (next != widget && !(next->focusPolicy() & Qt::TabFocus))
        next = next->nextInFocusChain();
    return next;
}

} // namespace

Q_DECLARE_METATYPE(FileVersion)

// The about box, the potentiometer check window and the manual.
class TestAbout : public QObject {
    Q_OBJECT

private slots:
    void init();
    void cleanup();
    void versionLine_data();
    void versionLine();
    void versionLineOfThisBuild();
    void versionRecomputedOnEveryShow();
    void aboutBoxControls_data();
    void aboutBoxControls();
    void aboutBoxWindow();
    void okClosesTheBox();
    void potikontrControls_data();
    void potikontrControls();
    void manualOpenedFromProgramDirectory();
    void manualBuiltBesideProgram();

private:
    std::unique_ptr<WindowRig> m_rig;
};

void TestAbout::init() {
    m_rig = WindowRig::make({{}, true});
}

void TestAbout::cleanup() {
    m_rig.reset();
}

void TestAbout::versionLine_data() {
    QTest::addColumn<bool>("known");
    QTest::addColumn<FileVersion>("version");
    QTest::addColumn<QString>("line");
    QTest::newRow("1.0.0.7") << true << FileVersion{1, 0, 0, 7} << "Version 1.0.0.7";
    QTest::newRow("2.0.0.0") << true << FileVersion{2, 0, 0, 0} << "Version 2.0.0.0";
    QTest::newRow("largest") << true << FileVersion{65535, 65535, 65535, 65535}
                             << "Version 65535.65535.65535.65535";
    QTest::newRow("leading zeros none")
        << true << FileVersion{10, 2, 30, 400} << "Version 10.2.30.400";
    QTest::newRow("no version") << false << FileVersion{} << "Version 0";
}

void TestAbout::versionLine() {
    QFETCH(bool, known);
    QFETCH(FileVersion, version);
    QFETCH(QString, line);
    TAboutBox *box = m_rig->windows.aboutBox;
    QCOMPARE(box->Label8->text(), QStringLiteral("Version 0.0.0.0"));
    box->setProgramVersion(known ? std::optional<FileVersion>(version) : std::nullopt);
    box->show();
    QCOMPARE(box->Label8->text(), line);
}

// The default is the version the project is configured with.
void TestAbout::versionLineOfThisBuild() {
    m_rig->windows.aboutBox->show();
    QCOMPARE(m_rig->windows.aboutBox->Label8->text(),
             QStringLiteral("Version " VTK290_PROJECT_VERSION));
}

void TestAbout::versionRecomputedOnEveryShow() {
    TAboutBox *box = m_rig->windows.aboutBox;
    box->setProgramVersion(FileVersion{1, 0, 0, 7});
    box->show();
    box->Memo1->setPlainText(QStringLiteral("letzter Lauf"));
    box->Memo1->show();
    box->hide();
    box->setProgramVersion(FileVersion{2, 0, 0, 0});
    box->show();
    QCOMPARE(box->Label8->text(), QStringLiteral("Version 2.0.0.0"));
    QCOMPARE(box->Memo1->toPlainText(), QStringLiteral("letzter Lauf"));
    QVERIFY(box->Memo1->isVisible());
}

void TestAbout::aboutBoxControls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("Label5") << "Label5" << QRect(48, 16, -1, -1) << "Seviceprogramm für KT290"
                            << false;
    QTest::newRow("Label8") << "Label8" << QRect(128, 48, -1, -1) << "Version 0.0.0.0" << false;
    QTest::newRow("Label9") << "Label9" << QRect(48, 168, -1, -1) << "" << false;
    QTest::newRow("Label10") << "Label10" << QRect(48, 184, -1, -1) << "" << false;
    QTest::newRow("Label11") << "Label11" << QRect(48, 200, -1, -1) << "" << false;
    QTest::newRow("Label12") << "Label12" << QRect(48, 216, -1, -1) << "" << false;
    QTest::newRow("Label3") << "Label3" << QRect(48, 232, -1, -1) << "" << false;
    QTest::newRow("Button1") << "Button1" << QRect(288, 272, 75, 25) << "OK" << false;
    QTest::newRow("Memo1") << "Memo1" << QRect(24, 344, 329, 161) << "Memo1" << true;
    QTest::newRow("Button4") << "Button4" << QRect(32, 272, 137, 25) << "Programm-Update" << false;
    QTest::newRow("Image1") << "Image1" << QRect(64, 88, 221, 60) << "" << false;
}

void TestAbout::aboutBoxControls() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    QFETCH(QString, text);
    QFETCH(bool, hidden);
    auto *widget = m_rig->windows.aboutBox->findChild<QWidget *>(name);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->pos(), geometry.topLeft());
    if (geometry.width() > 0)
        QCOMPARE(widget->size(), geometry.size());
    QCOMPARE(widget->isHidden(), hidden);
    if (auto *label = qobject_cast<QLabel *>(widget)) {
        QVERIFY(!label->text().isEmpty());
        if (!text.isEmpty())
            QCOMPARE(label->text(), text);
        // Only the version line has its own background.
        QCOMPARE(label->autoFillBackground(), name == QLatin1String("Label8"));
    } else if (auto *button = qobject_cast<QPushButton *>(widget)) {
        QCOMPARE(button->text(), text);
    } else if (auto *memo = qobject_cast<QPlainTextEdit *>(widget)) {
        QCOMPARE(memo->toPlainText(), text);
    }
}

void TestAbout::aboutBoxWindow() {
    TAboutBox *box = m_rig->windows.aboutBox;
    QCOMPARE(box->windowTitle(), QStringLiteral("vtk290 - Info"));
    QCOMPARE(box->size(), QSize(381, 324));
    QCOMPARE(box->minimumSize(), box->maximumSize());
    QVERIFY(!(box->windowFlags() & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint)));
    QVERIFY(box->windowFlags() & Qt::WindowCloseButtonHint);
    QCOMPARE(box->Button4->toolTip(), QStringLiteral("Internetanschluß erforderlich"));
    QCOMPARE(box->Label5->font().family(), QStringLiteral("Arial"));
    QCOMPARE(box->Label5->font().pixelSize(), 21);
    QVERIFY(box->Label5->font().bold());
    QVERIFY(box->Label8->font().bold());
    QCOMPARE(box->Label8->font().pixelSize(), 13);
    QCOMPARE(nextTabStop(box->Button1), box->Memo1);
    QCOMPARE(nextTabStop(box->Memo1), box->Button4);
    QVERIFY(box->isHidden());
}

void TestAbout::okClosesTheBox() {
    TAboutBox *box = m_rig->windows.aboutBox;
    QTimer::singleShot(0, box, [box] { box->Button1->click(); });
    QCOMPARE(box->exec(), int(QDialog::Accepted));
    QVERIFY(box->isHidden());
}

void TestAbout::potikontrControls_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("Shape1") << "Shape1" << QRect(24, 128, 97, 17);
    QTest::newRow("Shape1a") << "Shape1a" << QRect(56, 128, 65, 17);
    QTest::newRow("Label1") << "Label1" << QRect(56, 130, -1, -1);
    QTest::newRow("Shape2") << "Shape2" << QRect(24, 72, 97, 17);
    QTest::newRow("Shape2a") << "Shape2a" << QRect(56, 72, 65, 17);
    QTest::newRow("Label2") << "Label2" << QRect(56, 74, -1, -1);
    QTest::newRow("Shape3") << "Shape3" << QRect(216, 56, 97, 17);
    QTest::newRow("Shape3a") << "Shape3a" << QRect(248, 56, 65, 17);
    QTest::newRow("Label3") << "Label3" << QRect(248, 58, -1, -1);
    QTest::newRow("Shape4") << "Shape4" << QRect(216, 96, 97, 17);
    QTest::newRow("Shape4a") << "Shape4a" << QRect(248, 96, 65, 17);
    QTest::newRow("Label4") << "Label4" << QRect(248, 98, -1, -1);
    QTest::newRow("Shape5") << "Shape5" << QRect(216, 120, 97, 17);
    QTest::newRow("Shape5a") << "Shape5a" << QRect(248, 120, 65, 17);
    QTest::newRow("Label5") << "Label5" << QRect(248, 122, -1, -1);
    QTest::newRow("Image1") << "Image1" << QRect(0, 0, 380, 182);
}

void TestAbout::potikontrControls() {
    QFETCH(QString, name);
    QFETCH(QRect, geometry);
    Tfpotikontr *window = m_rig->windows.fpotikontr;
    QCOMPARE(window->windowTitle(), QStringLiteral("An allen 5 Poti's drehen !"));
    QCOMPARE(window->size(), QSize(378, 179));
    QVERIFY(window->isHidden());
    auto *widget = window->findChild<QWidget *>(name);
    QVERIFY(widget != nullptr);
    QCOMPARE(widget->pos(), geometry.topLeft());
    if (geometry.width() > 0)
        QCOMPARE(widget->size(), geometry.size());
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), name);
    // The labels lie on their short shapes, the short shapes on the long ones.
    if (name.startsWith(QLatin1String("Shape")) && name.endsWith(u'a'))
        QVERIFY(
            window->findChild<QWidget *>(name.chopped(1))->geometry().contains(widget->geometry()));
}

// The manual's path goes to the desktop whole, blanks included; nothing of the program's own
// is shown, whether or not the file is there.
void TestAbout::manualOpenedFromProgramDirectory() {
    OpenedDocuments opened;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &opened, "open");
    m_rig->windows.form1->show();
    m_rig->windows.form1->Betriebsanleitung1->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(opened.urls.size(), 1);
    QCOMPARE(opened.urls.first().toLocalFile(),
             ProgramDir() + QStringLiteral("KT290 Bedienungsanleitung.pdf"));
    QCOMPARE(QApplication::activeModalWidget(), nullptr);
    const QWidgetList windows = QApplication::topLevelWidgets();
    QCOMPARE(std::count_if(windows.begin(), windows.end(),
                           [](const QWidget *w) { return w->isVisible(); }),
             1);
}

// The build places the manual beside the program.
void TestAbout::manualBuiltBesideProgram() {
    QFile manual(QStringLiteral(VTK290_MANUAL_PATH));
    QVERIFY2(manual.open(QIODevice::ReadOnly), qPrintable(manual.fileName()));
    QVERIFY(manual.read(5) == "%PDF-");
    QVERIFY(manual.size() > 10000);
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
