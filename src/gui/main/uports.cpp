#include "gui/main/uports.h"

#include "core/link/portaddress.h"
#include "core/link/portnames.h"

#include <QComboBox>
#include <QDir>
#include <QFileInfo>
#include <QFont>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPalette>
#include <QPushButton>
#include <QSerialPortInfo>
#include <QVBoxLayout>

namespace {
const QString Automatic = QStringLiteral("automatisch");
}

QList<TfPorts::SystemPort> TfPorts::systemPorts(const QString &byIdDir) {
    // A stable name per device node.
    QHash<QString, QString> stable;
    const QDir dir(byIdDir);
    for (const QFileInfo &link : dir.entryInfoList(QDir::Files | QDir::System))
        stable.insert(link.canonicalFilePath(), link.absoluteFilePath());

    QStringList names;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos)
        names << info.portName();
    QList<SystemPort> ports;
    for (const QString &name : PortNames::orderedSystemPorts(names)) {
        for (const QSerialPortInfo &info : infos) {
            if (info.portName() != name)
                continue;
            const QString node = QFileInfo(info.systemLocation()).canonicalFilePath();
            QStringList known;
            for (const QString &part :
                 {info.description(), info.manufacturer(),
                  info.serialNumber().isEmpty() ? QString()
                                                : QStringLiteral("Nr. ") + info.serialNumber()})
                if (!part.isEmpty() && !known.contains(part))
                    known << part;
            if (stable.contains(node))
                known.prepend(info.portName());
            ports.append(
                {stable.value(node, info.systemLocation()), known.join(QLatin1String(", "))});
        }
    }
    return ports;
}

TfPorts::TfPorts(QWidget *parent, const QList<SystemPort> &ports)
    : QDialog(parent) {
    setObjectName(QStringLiteral("fports"));
    setWindowTitle(QStringLiteral("Schnittstellen"));

    auto *layout = new QVBoxLayout(this);
    LabelHinweis =
        new QLabel(QStringLiteral("Welche Schnittstelle ist COM1 … COM8? „automatisch“ nimmt die "
                                  "Schnittstellen des Systems der Reihe nach, USB-Adapter zuerst.\n"
                                  "Ein Verstärker hinter einem Schnittstellen-Server im Netz:\n"
                                  "rfc2217://HOST:PORT (RFC 2217) oder tcp://HOST:PORT eintragen."),
                   this);
    LabelHinweis->setObjectName(QStringLiteral("LabelHinweis"));
    LabelHinweis->setWordWrap(true);
    layout->addWidget(LabelHinweis);

    LabelUmgebung = new QLabel(
        QStringLiteral("Die Umgebungsvariable VTK290_PORTS ist gesetzt: Sie gilt statt dieser "
                       "Einstellung, solange sie gesetzt ist."),
        this);
    LabelUmgebung->setObjectName(QStringLiteral("LabelUmgebung"));
    LabelUmgebung->setWordWrap(true);
    QFont bold = LabelUmgebung->font();
    bold.setBold(true);
    LabelUmgebung->setFont(bold);
    QPalette red = LabelUmgebung->palette();
    red.setColor(QPalette::WindowText, QColor(0xb0, 0, 0));
    LabelUmgebung->setPalette(red);
    LabelUmgebung->setVisible(PortNames::environmentWins());
    layout->addWidget(LabelUmgebung);

    auto *grid = new QGridLayout;
    const QStringList stored = PortNames::chosenPorts();
    for (int n = 1; n <= PortNames::PortCount; ++n) {
        auto *label = new QLabel(QStringLiteral("COM%1").arg(n), this);
        label->setObjectName(QStringLiteral("LabelCom%1").arg(n));
        auto *combo = new QComboBox(this);
        combo->setObjectName(QStringLiteral("ComboCom%1").arg(n));
        combo->setEditable(true);
        combo->setInsertPolicy(QComboBox::NoInsert);
        combo->setMinimumContentsLength(40);
        combo->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        combo->addItem(Automatic, QString());
        for (const SystemPort &port : ports)
            combo->addItem(port.description.isEmpty()
                               ? port.path
                               : QStringLiteral("%1 (%2)").arg(port.path, port.description),
                           port.path);
        const QString path = stored.value(n - 1);
        const int index = path.isEmpty() ? 0 : combo->findData(path);
        if (index >= 0)
            combo->setCurrentIndex(index);
        else
            combo->setEditText(path);
        label->setBuddy(combo);
        grid->addWidget(label, n - 1, 0);
        grid->addWidget(combo, n - 1, 1);
        ComboPorts << combo;
    }
    grid->setColumnStretch(1, 1);
    layout->addLayout(grid);

    LabelFehler = new QLabel(this);
    LabelFehler->setObjectName(QStringLiteral("LabelFehler"));
    LabelFehler->setWordWrap(true);
    LabelFehler->setPalette(red);
    LabelFehler->hide();
    layout->addWidget(LabelFehler);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    ButtonOk = new QPushButton(QStringLiteral("OK"), this);
    ButtonOk->setObjectName(QStringLiteral("ButtonOk"));
    ButtonOk->setDefault(true);
    ButtonAbbrechen = new QPushButton(QStringLiteral("Abbrechen"), this);
    ButtonAbbrechen->setObjectName(QStringLiteral("ButtonAbbrechen"));
    buttons->addWidget(ButtonOk);
    buttons->addWidget(ButtonAbbrechen);
    layout->addLayout(buttons);

    connect(ButtonOk, &QPushButton::clicked, this, [this] {
        save();
        accept();
    });
    connect(ButtonAbbrechen, &QPushButton::clicked, this, &QDialog::reject);
    for (QComboBox *combo : std::as_const(ComboPorts))
        connect(combo, &QComboBox::editTextChanged, this, &TfPorts::check);
    check();
}

QString TfPorts::problem() const {
    const QStringList paths = chosen();
    for (qsizetype i = 0; i < paths.size(); ++i) {
        if (paths.at(i).isEmpty())
            continue;
        if (const QString problem = PortAddress::parse(paths.at(i)).problem(); !problem.isEmpty())
            return QStringLiteral("COM%1: %2").arg(i + 1).arg(problem);
    }
    return {};
}

void TfPorts::check() {
    const QString problem = this->problem();
    LabelFehler->setText(problem);
    LabelFehler->setVisible(!problem.isEmpty());
    ButtonOk->setEnabled(problem.isEmpty());
}

QStringList TfPorts::chosen() const {
    QStringList paths;
    for (const QComboBox *combo : ComboPorts) {
        const QString text = combo->currentText().trimmed();
        // A chosen list entry stands for its path; anything else is a typed path or address.
        const int index = combo->findText(text);
        if (text.isEmpty() || text == Automatic)
            paths << QString();
        else if (index >= 0)
            paths << combo->itemData(index).toString();
        else
            paths << text;
    }
    return paths;
}

void TfPorts::save() {
    PortNames::setChosenPorts(chosen());
}
