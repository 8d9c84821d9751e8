#pragma once

#include <QDialog>

class QLabel;
class QPushButton;

// Asks whether the program may run a second time on this computer.
class Tfmehr final : public QDialog {
    Q_OBJECT

public:
    // Modal results of the two buttons.
    static constexpr int ResultYes = 6;
    static constexpr int ResultNo = 7;

    explicit Tfmehr(QWidget *parent = nullptr);

    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Label3 = nullptr;
    QLabel *Label4 = nullptr;
    QPushButton *BitBtn1 = nullptr;
    QPushButton *BitBtn2 = nullptr;

    // The name of the user logged in, or "Anwender" when it cannot be had.
    static QString UserName();

protected:
    void showEvent(QShowEvent *event) override;

private:
    void FormShow();
};
