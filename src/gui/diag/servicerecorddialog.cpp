#include "gui/diag/servicerecorddialog.h"

#include <QCoreApplication>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

// Enter in a one-line field goes on to the next field; it never saves the record.
QLineEdit *makeEdit(QWidget *parent, const char *name, const QString &value) {
    auto *edit = new QLineEdit(value, parent);
    edit->setObjectName(QLatin1String(name));
    QObject::connect(edit, &QLineEdit::returnPressed, parent, [edit] {
        QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier);
        QCoreApplication::sendEvent(edit, &tab);
    });
    return edit;
}

} // namespace

ServiceRecordDialog::ServiceRecordDialog(const ServiceRecordForm &entries, QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("ServiceRecordDialog"));
    setWindowTitle(QStringLiteral("Servicebericht – Angaben"));
    EditKunde = makeEdit(this, "EditKunde", entries.customer);
    EditStandort = makeEdit(this, "EditStandort", entries.site);
    EditAuftrag = makeEdit(this, "EditAuftrag", entries.order);
    EditTechniker = makeEdit(this, "EditTechniker", entries.technician);
    MemoBefund = new QPlainTextEdit(entries.findings, this);
    MemoBefund->setObjectName(QStringLiteral("MemoBefund"));
    MemoBefund->setTabChangesFocus(true);
    MemoBefund->setMinimumHeight(90);
    RadioInOrdnung = new QRadioButton(QStringLiteral("in Ordnung"), this);
    RadioInOrdnung->setObjectName(QStringLiteral("RadioInOrdnung"));
    RadioNichtInOrdnung = new QRadioButton(QStringLiteral("nicht in Ordnung"), this);
    RadioNichtInOrdnung->setObjectName(QStringLiteral("RadioNichtInOrdnung"));
    // The result is chosen for every record: nothing is preset, and nothing is saved without it.
    if (entries.inOrder)
        (*entries.inOrder ? RadioInOrdnung : RadioNichtInOrdnung)->setChecked(true);

    auto *result = new QHBoxLayout;
    result->addWidget(RadioInOrdnung);
    result->addWidget(RadioNichtInOrdnung);
    result->addStretch();
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Kunde:"), EditKunde);
    form->addRow(QStringLiteral("Standort / Messstelle:"), EditStandort);
    form->addRow(QStringLiteral("Auftragsnummer:"), EditAuftrag);
    form->addRow(QStringLiteral("Techniker:"), EditTechniker);
    form->addRow(QStringLiteral("Befund und Arbeiten:"), MemoBefund);
    form->addRow(QStringLiteral("Ergebnis:"), result);

    // No default button: Enter saves nothing.
    ButtonSpeichern = new QPushButton(QStringLiteral("Speichern"), this);
    ButtonSpeichern->setObjectName(QStringLiteral("ButtonSpeichern"));
    auto *cancel = new QPushButton(QStringLiteral("Abbrechen"), this);
    cancel->setObjectName(QStringLiteral("ButtonAbbrechen"));
    for (QPushButton *button : {ButtonSpeichern, cancel}) {
        button->setAutoDefault(false);
        button->setDefault(false);
    }
    connect(ButtonSpeichern, &QPushButton::clicked, this, &QDialog::accept);
    connect(cancel, &QPushButton::clicked, this, &QDialog::reject);
    const auto chosen = [this] {
        ButtonSpeichern->setEnabled(RadioInOrdnung->isChecked() ||
                                    RadioNichtInOrdnung->isChecked());
    };
    connect(RadioInOrdnung, &QRadioButton::toggled, this, chosen);
    connect(RadioNichtInOrdnung, &QRadioButton::toggled, this, chosen);
    chosen();
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(ButtonSpeichern);
    buttons->addWidget(cancel);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addLayout(buttons);
    resize(460, sizeHint().height());
}

ServiceRecordForm ServiceRecordDialog::entries() const {
    ServiceRecordForm form;
    form.customer = EditKunde->text().trimmed();
    form.site = EditStandort->text().trimmed();
    form.order = EditAuftrag->text().trimmed();
    form.technician = EditTechniker->text().trimmed();
    form.findings = MemoBefund->toPlainText().trimmed();
    if (RadioInOrdnung->isChecked() || RadioNichtInOrdnung->isChecked())
        form.inOrder = RadioInOrdnung->isChecked();
    return form;
}
