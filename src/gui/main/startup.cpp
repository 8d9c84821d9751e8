#include "gui/main/startup.h"

#include "gui/main/fmain1.h"
#include "gui/main/umehr.h"

#include "core/setup/currentsetup.h"
#include "core/setup/setuptransfer.h"
#include "gui/diag/ulive.h"
#include "gui/diag/ulogfile.h"
#include "gui/diag/usimul.h"
#include "gui/diag/ustatus.h"
#include "gui/help/uinfo.h"
#include "gui/help/upotikontr.h"
#include "gui/setup/setupactions.h"
#include "gui/setup/ueinst.h"
#include "gui/setup/urelais.h"

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
