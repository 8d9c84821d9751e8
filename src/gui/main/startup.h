#pragma once

#include "gui/main/windowset.h"

class ComLink;
class CurrentSetup;
class DeviceConversation;
class SetupTransfer;

// Creates the nine windows in their order on the core objects; the main window first, the rest
// owned by it.
void createWindows(DeviceConversation &conversation, CurrentSetup &setup, SetupTransfer &transfer,
                   WindowSet &windows);
// The same with a setup and transfer of their own, owned by the main window.
void createWindows(DeviceConversation &conversation, WindowSet &windows);
// The same on a device conversation of its own over the link as well.
void createWindows(ComLink &link, WindowSet &windows);
