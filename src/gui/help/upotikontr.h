#pragma once

#include <QDialog>

class QFrame;
class QLabel;
class QWidget;

// The potentiometer check window: a photograph of the opened device with a marker at each of
// its five potentiometers. Created at start-up and kept hidden; nothing drives it.
class Tfpotikontr final : public QDialog {
    Q_OBJECT

public:
    explicit Tfpotikontr(QWidget *parent = nullptr);

    // Controls
    QFrame *Shape1 = nullptr;
    QFrame *Shape2 = nullptr;
    QFrame *Shape3 = nullptr;
    QFrame *Shape4 = nullptr;
    QFrame *Shape5 = nullptr;
    QFrame *Shape1a = nullptr;
    QFrame *Shape2a = nullptr;
    QFrame *Shape3a = nullptr;
    QFrame *Shape4a = nullptr;
    QFrame *Shape5a = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QLabel *Label5 = nullptr;
    QWidget *Image1 = nullptr;
};
