#pragma once

#include "cli/servicecommands.h"

#include <QString>
#include <QStringList>

// The call of vtk290-cli, checked completely before anything talks to the device: the command,
// its operands, and only the options that belong to it.
struct CommandLine {
    enum class Action { Run, Help, Version, Error };

    Action action = Action::Error;
    // "scan", "readout", "report", "log", "backups", "setup get", "setup diff", "setup put",
    // "setup restore"; for Help the command asked about, empty for the general help.
    QString command;
    QStringList operands;
    ServiceCommands::Options options;
    QString error; // Action::Error: what is wrong with the call (German)
};

CommandLine ParseCommandLine(const QStringList &arguments);

// The general help, or the help of one command ("setup put").
QString HelpText(const QString &command = {});
// "vtk290-cli 1.0.0.1".
QString VersionText();
