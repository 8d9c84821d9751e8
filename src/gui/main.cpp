#include "core/device/deviceconversation.h"
#include "gui/diag/ustatus.h"
#include "core/history/historyrecorder.h"
#include "core/history/historystore.h"
#include "core/link/allgem.h"
#include "core/link/networkportio.h"
#include "core/link/qtserialportio.h"
#include "core/link/ucom.h"
#include "gui/main/fmain1.h"
#include "gui/main/germantexts.h"
#include "gui/main/startup.h"
#include "core/setup/currentsetup.h"
#include "gui/setup/setupactions.h"
#include "core/setup/setuptransfer.h"
#include "core/system/interruptsignals.h"

#include <QApplication>
#include <QMessageBox>

#include <cstdio>

namespace {

// The exit code after Ctrl+C, SIGTERM or SIGHUP (the shell's convention for an interruption).
constexpr int Interrupted = 130;

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
    QObject::connect(windows.fstatus, &Tfstatus::reportSaved, &recorder,
                     &HistoryRecorder::recordReport);
    InterruptSignals interruptions;
    QObject::connect(&interruptions, &InterruptSignals::interrupted, windows.form1,
                     &Tform1::interrupt);
    windows.form1->show();
    int result = QApplication::exec();
    if (interruptions.count() > 0) {
        result = Interrupted;
        if (conversation.lastWrite().cutOff())
            tell(windows.setupActions->cutOffText());
        else
            tell(QStringLiteral("vtk290 wurde beendet. Jeder Befehl hat das Gerät ganz erreicht, "
                                "der Kalibrierwiderstand ist aus."));
    }
    delete windows.form1;
    return result;
}
