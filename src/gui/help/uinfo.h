#pragma once

#include "core/update/downloader.h"

#include <QDialog>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <optional>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The four 16-bit numbers of a program file version.
struct FileVersion {
    std::uint16_t majorNumber = 0;
    std::uint16_t minorNumber = 0;
    std::uint16_t releaseNumber = 0;
    std::uint16_t buildNumber = 0;
};

// The about box with the program's version and the online update, whose progress list is a
// hidden part of the box until an update is started.
class TAboutBox final : public QDialog {
    Q_OBJECT

public:
    // Starts a program detached; true when it could be started.
    using UpdaterStarter = std::function<bool(const QString &program, const QStringList &arguments,
                                              const QString &workingDirectory)>;

    explicit TAboutBox(QWidget *parent = nullptr);

    // The version text: "major.minor.release.build", or "0" when there is no version.
    static QString GetFileVersion(const std::optional<FileVersion> &version);
    // The version fixed when the program was built; nothing when the build gave none.
    static std::optional<FileVersion> BuildVersion();

    // Controls
    QLabel *Label5 = nullptr;
    QLabel *Label8 = nullptr;
    QLabel *Label9 = nullptr;
    QLabel *Label10 = nullptr;
    QLabel *Label11 = nullptr;
    QLabel *Label12 = nullptr;
    QPushButton *Button1 = nullptr;
    QLabel *Label3 = nullptr;
    QPlainTextEdit *Memo1 = nullptr;
    QPushButton *Button4 = nullptr;
    QWidget *Image1 = nullptr;

    // Handlers
    void FormShow();
    void Button4Click();

    // What the box works with; the running program and its build version unless replaced.
    void setProgramVersion(const std::optional<FileVersion> &version) { m_version = version; }
    void setProgramFilePath(const QString &path) { m_programFilePath = path; }
    void setUpdaterStarter(UpdaterStarter starter) { m_startUpdater = std::move(starter); }
    Downloader &downloader() { return m_downloader; }

protected:
    void showEvent(QShowEvent *event) override;

private:
    void buildControls();
    QString programDirectory() const;
    void addLine(const QString &line);
    void replaceLastLine(const QString &line);
    void showProgress(qint64 received);
    QString fetch(const QString &fileName, const QString &destination, const QString &sha256);
    void offerUpdate(const QString &infoFile);
    bool downloadUpdate(const QString &newProgramName, const QString &programSha256,
                        const QString &updaterSha256);
    void startUpdaterAndEnd();

    Downloader m_downloader;
    std::optional<FileVersion> m_version;
    QString m_programFilePath;
    UpdaterStarter m_startUpdater;
};
