#pragma once

class QCoreApplication;

// Makes Qt's own texts German (file dialogs, standard buttons, context menus, system reasons),
// whatever language the system runs in: the program speaks German throughout. Loads Qt's German
// catalogues from Qt's translations folder; false when they are missing.
bool loadGermanTexts(QCoreApplication &app);

// Dates in Qt's file dialogs follow the system's time format, which Qt reads from the environment
// once, when the application object is made: this sets it to German before that. Call before the
// application object. Only the time category changes, so numbers keep the C locale.
void useGermanDates();
