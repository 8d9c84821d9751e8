#pragma once

class QCoreApplication;

// Makes Qt's own texts German (file dialogs, standard buttons, context menus, system reasons),
// whatever language the system runs in: the program speaks German throughout. Loads Qt's German
// catalogues from Qt's translations folder; false when they are missing.
bool loadGermanTexts(QCoreApplication &app);
