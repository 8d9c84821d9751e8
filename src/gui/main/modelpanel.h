#pragma once

#include <QColor>
#include <QPoint>
#include <QString>

#include <initializer_list>
#include <optional>

class QFrame;
class QLabel;
class QWidget;

// One connection diagram of a device model, as the main window and the simulation window show
// it: the diagram, the switch-point fields and both relays' contact pictures (No and Nc) laid
// over it. The input and output fields are the window's own (text fields or edits) at the
// places that `inputAt` and `outputAt` give.
struct ModelPanel {
    enum class Model { StrainGauge, Current };

    // How a window draws its panels: the switch points' background and the contact pictures.
    struct Look {
        QColor switchPointBackground;
        QString closedContact;
        QString openContact;
    };

    QFrame *panel = nullptr;
    QWidget *diagram = nullptr;
    QLabel *switchPoint1 = nullptr;
    QLabel *switchPoint2 = nullptr;
    QWidget *nc1 = nullptr;
    QWidget *no1 = nullptr;
    QWidget *nc2 = nullptr;
    QWidget *no2 = nullptr;
    // The top left corners of the input and output fields in the diagram.
    QPoint inputAt;
    QPoint outputAt;

    // The panel of `model` at `pos`, hidden, with every contact picture hidden. The controls
    // are named as both windows name them (Panel1, Image01, StaticTextSp1, ImageNc1, … for the
    // strain-gauge model; Panel2, Image02, StaticTextSP102, ImageNc102, … for the current one).
    static ModelPanel build(QWidget *parent, Model model, const QPoint &pos, const Look &look);

    // Each relay's two contact pictures are stacked at one place (the No picture moves onto
    // the Nc picture), both hidden until the relay states are known.
    void stackContacts() const;

    // Bit value 1 shows relay 1's Nc picture, bit value 2 relay 2's, in all the panels alike;
    // unknown states show none.
    static void showRelays(std::initializer_list<const ModelPanel *> panels,
                           std::optional<int> relayBits);
};
