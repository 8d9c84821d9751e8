#pragma once

#include "cli/commands.h"

#include <QString>
#include <QStringList>

// The call of vtk290-cli, checked completely before anything talks to the device: the command,
// its operands, and only the options that belong to it. Parsing and help read the table of
// commands (commands.h).
struct CommandLine {
    enum class Action { Run, Help, Version, Error };

    Action action = Action::Error;
    // A command's name ("scan", "setup put"); for Help the command or group ("setup") asked
    // about, empty for the general help.
    QString command;
    // Run: the command's entry in the table, whose handler runs it.
    const Cli::CommandInfo *entry = nullptr;
    QStringList operands;
    Cli::Options options;
    QString error; // Action::Error: what is wrong with the call (German)
};

CommandLine ParseCommandLine(const QStringList &arguments);

// The general help, or the help of one command ("setup put") or group ("setup").
QString HelpText(const QString &command = {});
// "vtk290-cli 1.0.0.1".
QString VersionText();
