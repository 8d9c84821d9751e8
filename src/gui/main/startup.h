#pragma once

#include "main/windowset.h"

class ComLink;
class DeviceConversation;

// Creates the setup the program holds with its transfer, then the nine windows in their order;
// the main window first, the rest owned by it.
void createWindows(DeviceConversation &conversation, WindowSet &windows);
// The same on a device conversation of its own over the link, owned by the main window.
void createWindows(ComLink &link, WindowSet &windows);
