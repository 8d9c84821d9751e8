// Usage: screenshots OUTPUT_DIR [schnittstellen | historie] — connects the real windows to
// simulated devices and saves PNGs; with "schnittstellen" or "historie" only that picture.
#include "core/history/historystore.h"
#include "core/link/networkportio.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "gui/diag/servicerecorddialog.h"
#include "gui/diag/ulive.h"
#include "gui/diag/ulogfile.h"
#include "gui/diag/usimul.h"
#include "gui/diag/ustatus.h"
#include "gui/help/uinfo.h"
#include "gui/history/uhistory.h"
#include "gui/main/fmain1.h"
#include "gui/main/germantexts.h"
#include "gui/main/startup.h"
#include "gui/main/umehr.h"
#include "gui/main/uports.h"
#include "gui/setup/ueinst.h"
#include "gui/setup/urelais.h"
#include "simulatorprocess.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QJsonArray>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>

namespace {

bool save(QWidget *window, const QString &path) {
    window->show();
    WaitSeconds(0.3);
    const bool saved = window->grab().save(path);
    std::printf("%s %s\n", saved ? "saved" : "FAILED", qPrintable(path));
    return saved;
}

// Connects the main window to a simulated device of the given type.
bool connectTo(Tform1 *form, SimulatorProcess &device, const QString &type) {
    if (!device.start({QStringLiteral("--type"), type}))
        return false;
    for (const char *line : {"set fnr 1234", "set al1ma 8", "set al2ma 16"})
        device.control(QLatin1String(line));
    qputenv("VTK290_PORTS", device.portPath().toLocal8Bit());
    form->BitBtnVerbindenClick();
    return form->isConnected();
}

// Shows a modal dialog, saves its picture and closes it again.
void saveDialog(QDialog *dialog, const QString &path) {
    QTimer::singleShot(300, dialog, [dialog, path] {
        save(dialog, path);
        dialog->reject();
    });
    dialog->exec();
}

// Shows a modal window that works on its own after showing, saves it once `ready` holds (or
// after `limitSeconds`) and closes it. The check never blocks: the window's work runs in waits
// of its own that a blocking check would hold up.
template <typename Ready>
void saveWhenReady(QDialog *dialog, const QString &path, double limitSeconds, Ready ready) {
    QTimer poll;
    QElapsedTimer clock;
    clock.start();
    QObject::connect(&poll, &QTimer::timeout, dialog, [&] {
        if (clock.elapsed() < 1000 || (!ready() && clock.elapsed() < limitSeconds * 1000))
            return;
        poll.stop();
        save(dialog, path);
        dialog->reject();
    });
    poll.start(200);
    dialog->exec();
}

// The service record's pages as pictures (pdftoppm from poppler-utils).
bool savePdfPages(const QString &pdf, const QDir &out, const QString &stem) {
    const QString tool = QStandardPaths::findExecutable(QStringLiteral("pdftoppm"));
    if (tool.isEmpty())
        return false;
    QProcess process;
    process.start(tool, {QStringLiteral("-png"), QStringLiteral("-r"), QStringLiteral("60"), pdf,
                         out.filePath(stem)});
    const bool saved = process.waitForFinished(60000) && process.exitCode() == 0;
    std::printf("%s %s-*.png\n", saved ? "saved" : "FAILED", qPrintable(out.filePath(stem)));
    return saved;
}

const ServiceRecordForm ExampleEntries{QStringLiteral("Stadtwerke Nord"),
                                       QStringLiteral("Pumpwerk 3 / Druckmessung PT-12"),
                                       QStringLiteral("A-2026-4711"),
                                       QStringLiteral("M. Keller"),
                                       QStringLiteral("Nullpunkt und Schaltpunkte geprüft.\n"
                                                      "Hysterese Relais 1 auf 0,5 mA gestellt."),
                                       true};

// Two years of visits of one amplifier whose output drifts, with a hysteresis changed at the
// fourth visit, and a second amplifier seen once.
void fillExampleHistory(HistoryStore &store) {
    const QDateTime first(QDate(2024, 11, 4), QTime(9, 30));
    const auto setup = [](const char *hysteresis) {
        return QJsonArray{QJsonArray{"Relais 1 oberhalb SP1", "stromlos"},
                          QJsonArray{"Relais 2 oberhalb SP2", "stromlos"},
                          QJsonArray{"Hysterese Relais 1 / SP1", hysteresis},
                          QJsonArray{"Hysterese Relais 2 / SP2", "0,0 mA"},
                          QJsonArray{"Sicherheitsmodus", "aus"}};
    };
    const double outputs[] = {12.02, 12.05, 12.11, 12.16, 12.24, 12.31};
    for (int i = 0; i < int(std::size(outputs)); ++i) {
        const QDateTime at = first.addDays(i * 140);
        const auto visit = store.beginVisit(QStringLiteral("1234"), QStringLiteral("KT 290.X2"),
                                            QStringLiteral("COM%1").arg(i % 2 + 1), at);
        if (!visit)
            return;
        store.record(*visit, QStringLiteral("readout"),
                     {{"input", 12.0},
                      {"inputUnit", "mA"},
                      {"output", outputs[i]},
                      {"sp1", 8.0},
                      {"sp2", 16.0}},
                     at.addSecs(20));
        store.record(*visit, QStringLiteral("setupRead"),
                     {{"setup", setup(i < 3 ? "0,0 mA" : "0,5 mA")}}, at.addSecs(40));
        if (i == 3)
            store.record(*visit, QStringLiteral("setupWrite"),
                         {{"before", setup("0,0 mA")},
                          {"after", setup("0,5 mA")},
                          {"sent", 6},
                          {"total", 6},
                          {"stored", true}},
                         at.addSecs(90));
        store.endVisit(*visit, at.addSecs(600));
    }
    const auto other = store.beginVisit(QStringLiteral("0077"), QStringLiteral("KT 290.X1"),
                                        QStringLiteral("COM1"), first.addDays(30));
    if (other)
        store.endVisit(*other, first.addDays(30).addSecs(300));
}

} // namespace

int main(int argc, char *argv[]) {
    // The pictures are the same with or without a desktop.
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The windows' remembered choices and the record's entries stay out of the user's own.
    QTemporaryDir scratch;
    qputenv("XDG_CONFIG_HOME", scratch.filePath(QStringLiteral("config")).toLocal8Bit());
    useGermanDates();
    QApplication app(argc, argv);
    loadGermanTexts(app);
    const QDir out(QCoreApplication::arguments().value(1, QStringLiteral(".")));
    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    WindowSet windows;
    createWindows(link, windows);
    Tform1 *form = windows.form1;
    form->show();

    // "Schnittstellen": two amplifiers behind serial device servers, the rest as the system lists
    // its ports. Only shown, not stored.
    const auto savePorts = [&] {
        qunsetenv("VTK290_PORTS");
        TfPorts ports(form);
        ports.ComboPorts[0]->lineEdit()->setText(QStringLiteral("rfc2217://192.168.10.40:4001"));
        ports.ComboPorts[1]->lineEdit()->setText(QStringLiteral("tcp://192.168.10.41:4002"));
        saveDialog(&ports, out.filePath(QStringLiteral("schnittstellen.png")));
    };
    // "Gerätehistorie": an example history, the output current over the visits.
    const auto saveHistory = [&] {
        HistoryStore store(scratch.filePath(QStringLiteral("history.sqlite")));
        if (!store.open())
            return false;
        fillExampleHistory(store);
        TfHistory history(store, form);
        history.ComboBoxValue->setCurrentIndex(1);
        history.ComboBoxVisitA->setCurrentIndex(int(history.ComboBoxVisitA->count()) - 1);
        return save(&history, out.filePath(QStringLiteral("geraetehistorie.png")));
    };
    const QString only = QCoreApplication::arguments().value(2);
    if (only == QLatin1String("schnittstellen") || only == QLatin1String("historie")) {
        const bool saved = only == QLatin1String("historie") ? saveHistory() : (savePorts(), true);
        delete form;
        return saved ? 0 : 1;
    }
    savePorts();
    if (!saveHistory())
        return 1;

    bool ok = true;
    for (const QString &type : {QStringLiteral("X1"), QStringLiteral("X2")}) {
        SimulatorProcess device;
        ok = connectTo(form, device, type) && ok;
        ok = save(form, out.filePath(QStringLiteral("main-%1.png").arg(type.toLower()))) && ok;
        if (type == QLatin1String("X1")) {
            // The widest reading: a negative input signal.
            for (const char *line : {"set mvv0 -10", "set mvv0cal -10"})
                device.control(QLatin1String(line));
            form->BitBtnAktualisierenClick(form->BitBtnAktualisieren);
            ok = save(form, out.filePath(QStringLiteral("main-negative.png"))) && ok;
            for (const char *line : {"set mvv0 auto", "set mvv0cal auto"})
                device.control(QLatin1String(line));
            saveDialog(windows.frelais, out.filePath(QStringLiteral("schaltpunkte.png")));
            saveDialog(windows.feinst, out.filePath(QStringLiteral("einstellbereiche.png")));
            saveWhenReady(windows.fstatus, out.filePath(QStringLiteral("status.png")), 60,
                          [&windows] { return !windows.fstatus->isBuilding(); });
            // The service record of that report: its form, then its pages.
            ServiceRecordDialog entries(ExampleEntries, form);
            saveDialog(&entries, out.filePath(QStringLiteral("servicebericht-angaben.png")));
            const QString pdf = scratch.filePath(QStringLiteral("servicebericht.pdf"));
            windows.fstatus->setSaveFileNameChooser([pdf] { return pdf; });
            windows.fstatus->setRecordFormChooser(
                [](const ServiceRecordForm &) { return std::optional(ExampleEntries); });
            windows.fstatus->Speichernunter1Click();
            ok = savePdfPages(pdf, out, QStringLiteral("servicebericht")) && ok;
            saveWhenReady(windows.fsimul, out.filePath(QStringLiteral("simulation.png")), 30,
                          [&windows] { return windows.fsimul->Button1->isEnabled(); });
            saveWhenReady(windows.flogfile, out.filePath(QStringLiteral("logfile.png")), 30,
                          [&windows] { return !windows.flogfile->Memo1->document()->isEmpty(); });
            // A minute of an input that swings across both switch points.
            for (const char *line :
                 {"set mvv0 0.5", "set mvv0cal 1.0", "wave 0.8 40", "set al2ma 12"})
                device.control(QLatin1String(line));
            // Held for a moment after 15 s, and a few cycles without the output's answer (a
            // gap) after 35 s: the marks and the broken lines.
            int stage = 0;
            saveWhenReady(windows.flive, out.filePath(QStringLiteral("live.png")), 100,
                          [&windows, &scratch, &device, &stage] {
                              Tflive *live = windows.flive;
                              const LiveSampler *sampler = live->sampler();
                              const qint64 seconds = sampler && !sampler->samples().isEmpty()
                                                         ? sampler->samples().first().time.secsTo(
                                                               sampler->samples().last().time)
                                                         : 0;
                              if (stage == 0 && seconds >= 15) {
                                  stage = 1;
                                  live->ButtonAnhaltenClick();
                              } else if (stage >= 1 && stage < 12 && live->isPaused()) {
                                  if (++stage == 12)
                                      live->ButtonAnhaltenClick();
                              } else if (stage == 12 && seconds >= 35) {
                                  stage = 13;
                                  device.control(QStringLiteral("set mas missing"));
                              } else if (stage >= 13 && stage < 28) {
                                  if (++stage == 28)
                                      device.control(QStringLiteral("set mas auto"));
                              }
                              // Saved, so that closing asks nothing.
                              return seconds >= 60 && live->saveCsv(scratch.filePath("live.csv"));
                          });
            for (const char *line : {"wave 0 1", "set al2ma 16"})
                device.control(QLatin1String(line));
            saveDialog(windows.fmehr, out.filePath(QStringLiteral("mehr.png")));
            saveDialog(windows.aboutBox, out.filePath(QStringLiteral("info.png")));
            form->OpenDialog1->setDirectory(out.absolutePath());
            saveDialog(form->OpenDialog1, out.filePath(QStringLiteral("oeffnen.png")));
        }
        if (type == QLatin1String("X2")) {
            // A current input on the output's mA axis, for half a minute.
            for (const char *line : {"set mvv0 12.3", "wave 3 30"})
                device.control(QLatin1String(line));
            saveWhenReady(windows.flive, out.filePath(QStringLiteral("live-x2.png")), 60,
                          [&windows, &scratch] {
                              const LiveSampler *sampler = windows.flive->sampler();
                              return sampler && !sampler->samples().isEmpty() &&
                                     sampler->samples().first().time.secsTo(
                                         sampler->samples().last().time) >= 30 &&
                                     windows.flive->saveCsv(scratch.filePath("live-x2.csv"));
                          });
            device.control(QStringLiteral("wave 0 1"));
        }
        form->BitBtnVerbindenClick();
    }
    delete form;
    return ok ? 0 : 1;
}
