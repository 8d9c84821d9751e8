#include "gui/help/uinfo.h"

#include "core/update/updateinfo.h"
#include "core/vtk290version.h"

#include "core/link/ucom.h"
#include "gui/main/formcontrols.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryFile>
#include <QTextBlock>
#include <QTextCursor>

namespace {

constexpr int ClientWidth = 381;
constexpr int ClientHeight = 324;
// Once an update has been started the box keeps this outer height with the progress list shown.
constexpr int ExpandedOuterHeight = 555;

// The maker's lines; the maker supplies the real ones.
struct MakerLine {
    const char *name;
    int top;
    const char *text; // UTF-8
};
static constexpr MakerLine MakerLines[] = {
    {"Label9", 168, "KT-Messtechnik GmbH"},
    {"Label10", 184, "Musterstraße 12"},
    {"Label11", 200, "D-12345 Musterstadt, Deutschland"},
    {"Label12", 216, "Tel. +49 (0)123 4567-0"},
    {"Label3", 232, "www.kt290-service.example"},
};

static constexpr const char *NoTempFileText = "Es kann keine temporäre Datei angelegt werden.";
static constexpr const char *UpdaterNotStartedText =
    "Das Update-Programm kann nicht gestartet werden.";
static constexpr const char *OfferedText = "downloadbare Version: ";
static constexpr const char *PackageUpdateText =
    "Der Programmordner ist schreibgeschützt: diese Installation wird über ihr Paket "
    "aktualisiert (apt oder dpkg -i mit dem neuen Paket). Es wird nichts heruntergeladen.";

QFont pixelFont(const QString &family, int pixels, bool bold) {
    QFont font(family);
    font.setPixelSize(pixels);
    font.setBold(bold);
    return font;
}

void setBlackText(QLabel *label) {
    QPalette palette = label->palette();
    palette.setColor(QPalette::WindowText, Qt::black);
    label->setPalette(palette);
}

// Whether a file can be made in the folder; an installed package's folder belongs to root.
bool directoryWritable(const QString &directory) {
    QTemporaryFile probe(directory + QStringLiteral("/~tmXXXXXX"));
    return probe.open();
}

bool startDetached(const QString &program, const QStringList &arguments,
                   const QString &workingDirectory) {
    return QProcess::startDetached(program, arguments, workingDirectory);
}

} // namespace

TAboutBox::TAboutBox(QWidget *parent)
    : QDialog(parent)
    , m_version(BuildVersion())
    , m_programFilePath(QCoreApplication::applicationFilePath())
    , m_startUpdater(startDetached) {
    setObjectName(QStringLiteral("TAboutBox"));
    setWindowTitle(QStringLiteral("vtk290 - Info"));
    setWindowFlags(Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::CustomizeWindowHint |
                   Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint);
    setFont(pixelFont(QStringLiteral("System"), 13, false));
    setFixedSize(ClientWidth, ClientHeight);
    buildControls();
    fitCaptions(this);
    connect(&m_downloader, &Downloader::progress, this, &TAboutBox::showProgress);
}

void TAboutBox::buildControls() {
    Label5 = makeLabel(this, "Label5", QStringLiteral("Seviceprogramm für KT290"), {48, 16});
    Label5->setFont(pixelFont(QStringLiteral("Arial"), 21, true));
    setBlackText(Label5);
    Label5->adjustSize();

    Label8 = makeLabel(this, "Label8", QStringLiteral("Version 0.0.0.0"), {128, 48});
    Label8->setFont(pixelFont(QStringLiteral("System"), 13, true));
    setBlackText(Label8);
    // The version line is the one label drawn on its own background.
    Label8->setAutoFillBackground(true);
    Label8->adjustSize();

    QLabel **makerLabels[] = {&Label9, &Label10, &Label11, &Label12, &Label3};
    for (std::size_t i = 0; i < std::size(MakerLines); ++i)
        *makerLabels[i] = makeLabel(this, MakerLines[i].name, QString::fromUtf8(MakerLines[i].text),
                                    {48, MakerLines[i].top});

    Button1 = makeButton(this, "Button1", QStringLiteral("OK"), {288, 272, 75, 25});
    connect(Button1, &QPushButton::clicked, this, &QDialog::accept);

    Memo1 = new QPlainTextEdit(QStringLiteral("Memo1"), this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setGeometry(24, 344, 329, 161);
    Memo1->hide();

    Button4 = makeButton(this, "Button4", QStringLiteral("Programm-Update"), {32, 272, 137, 25});
    Button4->setToolTip(QStringLiteral("Internetanschluß erforderlich"));
    connect(Button4, &QPushButton::clicked, this, &TAboutBox::Button4Click);

    Image1 = makePicture(this, "Image1", QStringLiteral(":/images/logo.svg"), {64, 88, 221, 60});

    setTabOrder(Button1, Memo1);
    setTabOrder(Memo1, Button4);
}

QString TAboutBox::GetFileVersion(const std::optional<FileVersion> &version) {
    if (!version)
        return QStringLiteral("0");
    return QStringLiteral("%1.%2.%3.%4")
        .arg(version->majorNumber)
        .arg(version->minorNumber)
        .arg(version->releaseNumber)
        .arg(version->buildNumber);
}

std::optional<FileVersion> TAboutBox::BuildVersion() {
    const int numbers[] = {Vtk290Version::Major, Vtk290Version::Minor, Vtk290Version::Release,
                           Vtk290Version::Build};
    if (!Vtk290Version::Known)
        return std::nullopt;
    for (int number : numbers) {
        if (number < 0 || number > 0xFFFF)
            return std::nullopt;
    }
    return FileVersion{std::uint16_t(numbers[0]), std::uint16_t(numbers[1]),
                       std::uint16_t(numbers[2]), std::uint16_t(numbers[3])};
}

void TAboutBox::showEvent(QShowEvent *event) {
    FormShow();
    QDialog::showEvent(event);
}

void TAboutBox::FormShow() {
    Label8->setText(QStringLiteral("Version ") + GetFileVersion(m_version));
    Label8->adjustSize();
}

QString TAboutBox::programDirectory() const {
    return QDir::toNativeSeparators(QFileInfo(m_programFilePath).absolutePath() + u'/');
}

void TAboutBox::addLine(const QString &line) {
    Memo1->appendPlainText(line);
}

void TAboutBox::replaceLastLine(const QString &line) {
    QTextCursor cursor(Memo1->document()->lastBlock());
    cursor.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cursor.insertText(line);
}

void TAboutBox::showProgress(qint64 received) {
    replaceLastLine(QString::number(received) + QStringLiteral(" Bytes übertragen "));
}

// Fetches one file of the update server; a failure is shown as the last line of the list.
QString TAboutBox::fetch(const QString &fileName, const QString &destination,
                         const QString &sha256) {
    const QString error =
        m_downloader.DownloadFile(UpdateInfo::ServerUrl(fileName).toString(), destination, sha256);
    if (!error.isEmpty())
        addLine(error);
    return error;
}

void TAboutBox::Button4Click() {
    Button4->setEnabled(false);
    const int frameHeight = frameGeometry().height() - geometry().height();
    setFixedSize(ClientWidth, ExpandedOuterHeight - frameHeight);
    Memo1->clear();
    Memo1->show();
    addLine(QStringLiteral("Abfrage Versionsinformation"));
    QCoreApplication::processEvents();
    addLine(QString());

    const QString infoFile = Downloader::MakeTempFileName();
    if (infoFile.isEmpty()) {
        addLine(QString::fromUtf8(NoTempFileText));
    } else {
        if (fetch(QLatin1String(UpdateInfo::InfoFileName), infoFile, QString()).isEmpty())
            offerUpdate(infoFile);
        QFile::remove(infoFile);
    }
    Button4->setEnabled(true);
}

void TAboutBox::offerUpdate(const QString &infoFile) {
    const UpdateInfo info = UpdateInfo::FromFile(infoFile);
    if (!info.offersProgram(QFileInfo(m_programFilePath).fileName()))
        return;
    if (!directoryWritable(QFileInfo(m_programFilePath).absolutePath())) {
        addLine(QString::fromUtf8(OfferedText) + info.version());
        addLine(QString::fromUtf8(PackageUpdateText));
        return;
    }
    QMessageBox question(QMessageBox::Question, QStringLiteral("Bestätigung"),
                         UpdateInfo::QuestionText(info.version(), Label8->text()),
                         QMessageBox::Ok | QMessageBox::Cancel, this);
    // The version comes from the server: markup in it is shown, not obeyed.
    question.setTextFormat(Qt::PlainText);
    if (question.exec() != QMessageBox::Ok)
        return;
    if (downloadUpdate(UpdateInfo::NewProgramFileName(info.name()), info.programSha256(),
                       info.updaterSha256()))
        startUpdaterAndEnd();
}

bool TAboutBox::downloadUpdate(const QString &newProgramName, const QString &programSha256,
                               const QString &updaterSha256) {
    const QString directory = programDirectory();
    addLine(QStringLiteral("Download ") + newProgramName);
    QCoreApplication::processEvents();
    addLine(QString());
    if (!fetch(newProgramName, directory + newProgramName, programSha256).isEmpty())
        return false;

    const QString updaterName = QLatin1String(UpdateInfo::UpdaterFileName);
    addLine(QStringLiteral("Download ") + updaterName);
    QCoreApplication::processEvents();
    addLine(QString());
    if (!fetch(updaterName, directory + updaterName, updaterSha256).isEmpty())
        return false;
    addLine(QStringLiteral("Download OK"));
    return true;
}

void TAboutBox::startUpdaterAndEnd() {
    WaitSeconds(1);
    const QString directory = programDirectory();
    const QString updater = directory + QLatin1String(UpdateInfo::UpdaterFileName);
    // A file fetched over HTTP carries no execute permission of its own.
    QFile::setPermissions(updater, QFile::permissions(updater) | QFileDevice::ExeOwner |
                                       QFileDevice::ExeUser);
    // The path is one argument; the updater receives it whole even when it contains blanks.
    if (!m_startUpdater(updater, {QDir::toNativeSeparators(m_programFilePath)}, directory)) {
        addLine(QString::fromUtf8(UpdaterNotStartedText));
        return;
    }
    WaitSeconds(1);
    // The program ends with its main window.
    if (QWidget *mainWindow = parentWidget())
        mainWindow->window()->close();
    else
        QCoreApplication::quit();
}
