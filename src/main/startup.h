#pragma once

#include "windowset.h"

class ComLink;

// Creates the nine windows in their order; the main window first, the rest owned by it.
void createWindows(ComLink &link, WindowSet &windows);
