#pragma once

#include <QDialog>
#include <QList>
#include <QString>

class QComboBox;
class QLabel;
class QPushButton;

// "Schnittstellen": which port is COM1 … COM8. Each is "automatisch" (the system's ports in
// their order), one of the system's serial ports, or a typed path or network address. Kept in
// the settings; VTK290_PORTS, when set, wins, and the window says so.
class TfPorts final : public QDialog {
    Q_OBJECT

public:
    // A serial port the system knows: its stable name where there is one, and what the system
    // knows of the adapter.
    struct SystemPort {
        QString path;
        QString description;
    };
    // The system's serial ports; their /dev/serial/by-id names (in `byIdDir`) where they exist.
    static QList<SystemPort>
    systemPorts(const QString &byIdDir = QStringLiteral("/dev/serial/by-id"));

    explicit TfPorts(QWidget *parent = nullptr, const QList<SystemPort> &ports = systemPorts());

    // The paths as chosen now (empty: automatisch).
    QStringList chosen() const;

    QLabel *LabelHinweis = nullptr;
    QLabel *LabelUmgebung = nullptr; // shown while VTK290_PORTS wins
    QLabel *LabelFehler = nullptr;   // an impossible port as it is typed; OK waits for it
    QList<QComboBox *> ComboPorts;   // COM1 … COM8
    QPushButton *ButtonOk = nullptr;
    QPushButton *ButtonAbbrechen = nullptr;

    // Why the ports as chosen now cannot be kept; empty when they can.
    QString problem() const;

private:
    void check();
    void save();
};
