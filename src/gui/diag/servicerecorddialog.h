#pragma once

#include "gui/diag/servicerecord.h"

#include <QDialog>

class QLineEdit;
class QPushButton;
class QPlainTextEdit;
class QRadioButton;

// The short form a service record asks for before it is saved; offers the remembered entries.
class ServiceRecordDialog final : public QDialog {
    Q_OBJECT

public:
    explicit ServiceRecordDialog(const ServiceRecordForm &entries, QWidget *parent = nullptr);

    ServiceRecordForm entries() const;

    QLineEdit *EditKunde = nullptr;
    QLineEdit *EditStandort = nullptr;
    QLineEdit *EditAuftrag = nullptr;
    QLineEdit *EditTechniker = nullptr;
    QPlainTextEdit *MemoBefund = nullptr;
    QRadioButton *RadioInOrdnung = nullptr;
    QRadioButton *RadioNichtInOrdnung = nullptr;
    QPushButton *ButtonSpeichern = nullptr; // enabled once the result is chosen
};
