#include "diag/servicerecorddialog.h"

#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace {

QLineEdit *makeEdit(QWidget *parent, const char *name, const QString &value) {
    auto *edit = new QLineEdit(value, parent);
    edit->setObjectName(QLatin1String(name));
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
    (entries.inOrder ? RadioInOrdnung : RadioNichtInOrdnung)->setChecked(true);

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

    auto *buttons = new QDialogButtonBox(this);
    buttons->addButton(QStringLiteral("Speichern"), QDialogButtonBox::AcceptRole);
    buttons->addButton(QStringLiteral("Abbrechen"), QDialogButtonBox::RejectRole);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(form);
    layout->addWidget(buttons);
    resize(460, sizeHint().height());
}

ServiceRecordForm ServiceRecordDialog::entries() const {
    ServiceRecordForm form;
    form.customer = EditKunde->text().trimmed();
    form.site = EditStandort->text().trimmed();
    form.order = EditAuftrag->text().trimmed();
    form.technician = EditTechniker->text().trimmed();
    form.findings = MemoBefund->toPlainText().trimmed();
    form.inOrder = RadioInOrdnung->isChecked();
    return form;
}
