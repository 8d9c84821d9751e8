#include "ulogfile.h"

Tflogfile::Tflogfile(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("Tflogfile"));
    setWindowTitle(QStringLiteral("KT290 - Logfile"));
}
