#include "gui/main/umehr.h"

#include "gui/main/formcontrols.h"

#include <QLabel>
#include <QPushButton>

Tfmehr::Tfmehr(QWidget *parent)
    : QDialog(parent) {
    setObjectName(QStringLiteral("Tfmehr"));
    setWindowTitle(QStringLiteral("VTK290     Mehr als ein KT 290 am PC ?"));
    setFixedSize(305, 171);
    QFont labelFont(QStringLiteral("Arial"));
    labelFont.setPointSize(8);
    setFont(labelFont);

    auto label = [this](const char *name, const QString &text, const QRect &rect) {
        auto *l = new QLabel(text, this);
        l->setObjectName(QLatin1String(name));
        l->setGeometry(rect);
        return l;
    };
    Label4 = label("Label4", QStringLiteral("Anwender"), {128, 16, 57, 13});
    Label1 =
        label("Label1", QStringLiteral("Das Programm VTK290 läuft bereits auf ihrem Computer."),
              {16, 40, 280, 13});
    Label2 = label("Label2",
                   QStringLiteral("Ja, ich will dieses Programm mehrmals gleichzeitig verwenden."),
                   {16, 72, 129, 49});
    Label2->setAlignment(Qt::AlignCenter);
    Label2->setWordWrap(true);
    Label3 = label("Label3", QStringLiteral("Nein, nicht noch mal."), {168, 88, 113, 17});
    Label3->setAlignment(Qt::AlignCenter);

    BitBtn1 = new QPushButton(QStringLiteral("&Ja"), this);
    BitBtn1->setObjectName(QStringLiteral("BitBtn1"));
    BitBtn1->setGeometry(48, 127, 75, 25);
    BitBtn2 = new QPushButton(QStringLiteral("&Nein"), this);
    BitBtn2->setObjectName(QStringLiteral("BitBtn2"));
    BitBtn2->setGeometry(192, 127, 75, 25);
    BitBtn2->setDefault(true);
    connect(BitBtn1, &QPushButton::clicked, this, [this] { done(ResultYes); });
    connect(BitBtn2, &QPushButton::clicked, this, [this] { done(ResultNo); });
    fitCaptions(this);
}

QString Tfmehr::UserName() {
    for (const char *variable : {"USER", "LOGNAME", "USERNAME"}) {
        const QString name = qEnvironmentVariable(variable).trimmed();
        if (!name.isEmpty())
            return name;
    }
    return QStringLiteral("Anwender");
}

void Tfmehr::showEvent(QShowEvent *event) {
    FormShow();
    QDialog::showEvent(event);
}

void Tfmehr::FormShow() {
    Label4->setText(UserName());
    Label4->adjustSize();
}
