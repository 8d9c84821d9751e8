#pragma once

#include "cli/session.h"

#include <QList>
#include <QString>
#include <QStringList>

// The commands of vtk290-cli: one table that the command line parses by, the help is made of and
// the program runs from, and one file per family of commands (scan.cpp, readout.cpp, report.cpp,
// log.cpp, setup.cpp, backups.cpp, history.cpp) that holds the commands' work. A command gives
// the program's exit code and writes its result to standard output, messages, warnings and
// progress to standard error. Everything that can be checked without the device (output
// folders, the backup folder, the setup file) is checked before the port is opened.
namespace Cli {

// A command's work on the session, with the operands of its call.
using CommandHandler = int (*)(Session &session, const QStringList &operands);
// A check of the whole call that the operand count cannot make: the error (German), or empty.
using CallCheck = QString (*)(const QStringList &operands, const Options &options);

struct OptionInfo {
    const char *name;
    const char *argument; // as the help shows it; nullptr for a switch
    const char *help;
    QString Options::*value; // where the argument goes; nullptr for a switch
    bool Options::*flag;     // what the switch sets; nullptr for an option with an argument
};

struct CommandInfo {
    const char *name;     // "scan", or a group and its verb: "setup put"
    const char *operands; // as the synopsis shows them
    int minOperands;
    int maxOperands;
    QStringList options;
    const char *help;
    CommandHandler run;
    CallCheck check = nullptr;
};

// Every option, in the order of the help.
const QList<OptionInfo> &AllOptions();
// Every command, in the order of the help.
const QList<CommandInfo> &AllCommands();
const OptionInfo *FindOption(const QString &name);
const CommandInfo *FindCommand(const QString &name);

// scan.cpp
int Scan(Session &session, const QStringList &operands);
// readout.cpp
int Readout(Session &session, const QStringList &operands);
// report.cpp
int Report(Session &session, const QStringList &operands);
// log.cpp
int Log(Session &session, const QStringList &operands);
// setup.cpp: "setup get DATEI", "setup diff DATEI", and "setup put DATEI" and "setup restore",
// which writes the file's setup, or with no file (--latest) the newest backup of the device.
int SetupGet(Session &session, const QStringList &operands);
int SetupDiff(Session &session, const QStringList &operands);
int SetupPut(Session &session, const QStringList &operands);
// backups.cpp
int Backups(Session &session, const QStringList &operands);
// history.cpp: the devices in the history, or one device's visits.
int History(Session &session, const QStringList &operands);

} // namespace Cli
