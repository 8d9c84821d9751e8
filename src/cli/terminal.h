#pragma once

// The few things the command line needs from the operating system.
namespace Terminal {

// True when standard error goes to a terminal (not into a file or a pipe).
bool standardErrorIsTerminal();

} // namespace Terminal
