#include "main/startup.h"

#include "main/fmain1.h"
#include "main/umehr.h"

#include "diag/ulive.h"
#include "diag/ulogfile.h"
#include "diag/usimul.h"
#include "diag/ustatus.h"
#include "help/uinfo.h"
#include "help/upotikontr.h"
#include "setup/currentsetup.h"
#include "setup/setupactions.h"
#include "setup/setuptransfer.h"
#include "setup/ueinst.h"
#include "setup/urelais.h"

// The artwork lives in the static window library, whose resources are registered by hand.
static void initResources() {
    Q_INIT_RESOURCE(vtk290);
}

void createWindows(ComLink &link, WindowSet &windows) {
    auto *conversation = new DeviceConversation(link);
    createWindows(*conversation, windows);
    conversation->setParent(windows.form1);
}

void createWindows(DeviceConversation &conversation, WindowSet &windows) {
    auto *setup = new CurrentSetup;
    auto *transfer = new SetupTransfer(conversation, *setup);
    createWindows(conversation, *setup, *transfer, windows);
    setup->setParent(windows.form1);
    transfer->setParent(windows.form1);
}

void createWindows(DeviceConversation &conversation, CurrentSetup &setup, SetupTransfer &transfer,
                   WindowSet &windows) {
    initResources();
    windows.setup = &setup;
    windows.setupTransfer = &transfer;
    windows.form1 = new Tform1(conversation, setup, transfer, windows);
    Tform1 *owner = windows.form1;
    windows.fpotikontr = new Tfpotikontr(owner);
    windows.aboutBox = new TAboutBox(owner);
    windows.feinst = new Tfeinst(owner);
    windows.frelais = new Tfrelais(owner);
    windows.flogfile = new Tflogfile(conversation, owner);
    windows.fsimul = new Tfsimul(*owner, owner);
    windows.fstatus = new Tfstatus(*owner, transfer, owner);
    windows.fmehr = new Tfmehr(owner);
    windows.flive = new Tflive(*owner, owner);
    windows.setupActions =
        new SetupActions(setup, transfer, conversation, *windows.frelais, *windows.feinst, owner);
}
