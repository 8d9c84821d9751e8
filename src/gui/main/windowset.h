#pragma once

class Tform1;
class Tfpotikontr;
class TAboutBox;
class Tfeinst;
class Tfrelais;
class Tflogfile;
class Tfsimul;
class Tfstatus;
class Tflive;
class Tfmehr;
class CurrentSetup;
class SetupTransfer;
class SetupActions;

// The program's windows, and the setup they share. Each window is created once at start-up, in
// the order of the members, and lives until the program ends; the windows reach each other
// through this set.
struct WindowSet {
    Tform1 *form1 = nullptr;
    Tfpotikontr *fpotikontr = nullptr;
    TAboutBox *aboutBox = nullptr;
    Tfeinst *feinst = nullptr;
    Tfrelais *frelais = nullptr;
    Tflogfile *flogfile = nullptr;
    Tfsimul *fsimul = nullptr;
    Tfstatus *fstatus = nullptr;
    Tfmehr *fmehr = nullptr;
    Tflive *flive = nullptr;

    // The core objects the windows are made on: the setup the program holds and its transfer;
    // and the window program's setup commands over them.
    CurrentSetup *setup = nullptr;
    SetupTransfer *setupTransfer = nullptr;
    SetupActions *setupActions = nullptr;
};
