#include "gui/main/germantexts.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <QtGlobal>

namespace {

// Qt's modules whose texts reach the user: the widgets and file access, the serial port.
static constexpr const char *Catalogues[] = {"qtbase", "qtserialport"};

} // namespace

bool loadGermanTexts(QCoreApplication &app) {
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    bool loaded = true;
    for (const char *catalogue : Catalogues) {
        auto *translator = new QTranslator(&app);
        if (translator->load(QLatin1String(catalogue) + QLatin1String("_de"), folder)) {
            QCoreApplication::installTranslator(translator);
        } else {
            delete translator;
            loaded = false;
        }
    }
    return loaded;
}

void useGermanDates() {
    // LC_ALL would win over LC_TIME: what it chose stays as LANG for the other categories.
    if (qEnvironmentVariableIsSet("LC_ALL")) {
        qputenv("LANG", qgetenv("LC_ALL"));
        qunsetenv("LC_ALL");
    }
    qputenv("LC_TIME", "de_DE.UTF-8");
}
