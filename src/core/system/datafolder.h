#pragma once

#include <QString>

// The programs' data folder, shared by both: $XDG_DATA_HOME/vtk290, by default
// ~/.local/share/vtk290. Empty when there is none to use (neither XDG_DATA_HOME nor HOME set,
// where it would lie just below the file system's root).
QString DataFolder();
