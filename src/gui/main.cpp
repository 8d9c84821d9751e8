#include "device/deviceconversation.h"
#include "diag/ustatus.h"
#include "history/historyrecorder.h"
#include "history/historystore.h"
#include "link/allgem.h"
#include "link/qtserialportio.h"
#include "link/ucom.h"
#include "main/fmain1.h"
#include "main/germantexts.h"
#include "main/startup.h"
#include "setup/currentsetup.h"
#include "setup/setupactions.h"
#include "setup/setuptransfer.h"
#include "system/interruptsignals.h"

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

    ComLink link(std::make_unique<QtSerialPortIo>());
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
