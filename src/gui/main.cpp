#include "core/device/deviceconversation.h"
#include "core/device/programend.h"
#include "core/history/historyrecorder.h"
#include "core/history/historystore.h"
#include "core/link/allgem.h"
#include "core/link/networkportio.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "core/setup/currentsetup.h"
#include "core/setup/setuptransfer.h"
#include "core/system/instancecheck.h"
#include "core/system/interruptsignals.h"
#include "gui/diag/ustatus.h"
#include "gui/main/fmain1.h"
#include "gui/main/germantexts.h"
#include "gui/main/startup.h"
#include "gui/setup/setupactions.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace {

void tell(const QString &text) {
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stderr);
    std::fflush(stderr);
}

} // namespace

int main(int argc, char *argv[]) {
    useGermanDates();
    QApplication app(argc, argv);
    loadGermanTexts(app);
    QApplication::setApplicationName(QStringLiteral("vtk290"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/vtk290.svg")));

    ComLink link(std::make_unique<QtSerialPortIo>(), std::make_unique<NetworkPortIo>());
    DeviceConversation conversation(link);
    CurrentSetup setup;
    SetupTransfer transfer(conversation, setup);
    WindowSet windows;
    createWindows(conversation, setup, transfer, windows);
    // The device history; one that cannot be written is said once, without holding up the
    // device work.
    HistoryStore history;
    if (history.open())
        HistoryRecorder::importBackups(history);
    HistoryRecorder recorder(conversation, transfer, history);
    QObject::connect(&recorder, &HistoryRecorder::problemFound, windows.form1,
                     [&windows](const QString &problem) {
                         auto *box = new QMessageBox(QMessageBox::Warning, ApplicationTitle(),
                                                     problem, QMessageBox::Ok, windows.form1);
                         box->setAttribute(Qt::WA_DeleteOnClose);
                         box->open();
                     });
    recorder.announce();
    windows.form1->setHistory(&history);
    // The second-copy question, asked by the main window once it is up.
    InstanceCheck instanceCheck;
    windows.form1->setInstanceCheck(&instanceCheck);
    QObject::connect(windows.fstatus, &Tfstatus::reportSaved, &recorder,
                     &HistoryRecorder::recordReport);
    InterruptSignals interruptions;
    QObject::connect(&interruptions, &InterruptSignals::interrupted, windows.form1,
                     &Tform1::interrupt);
    windows.form1->show();
    int result = QApplication::exec();
    // After an interruption: the state the device was left in, and the shell's exit code.
    const ProgramEnd &end = windows.form1->programEnd();
    if (end.wasInterrupted()) {
        result = ProgramEnd::InterruptedExitCode;
        tell(end.endText([&windows] { return windows.setupActions->cutOffText(); }));
    }
    delete windows.form1;
    return result;
}
