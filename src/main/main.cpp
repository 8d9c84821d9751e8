#include "deviceconversation.h"
#include "fmain1.h"
#include "germantexts.h"
#include "link/qtserialportio.h"
#include "link/ucom.h"
#include "startup.h"

#include <QApplication>

int main(int argc, char *argv[]) {
    useGermanDates();
    QApplication app(argc, argv);
    loadGermanTexts(app);
    QApplication::setApplicationName(QStringLiteral("vtk290"));
    QApplication::setWindowIcon(QIcon(QStringLiteral(":/images/vtk290.svg")));

    ComLink link(std::make_unique<QtSerialPortIo>());
    DeviceConversation conversation(link);
    WindowSet windows;
    createWindows(conversation, windows);
    windows.form1->show();
    const int result = QApplication::exec();
    delete windows.form1;
    return result;
}
