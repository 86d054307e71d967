// scale-readout: reads a weighing indicator over a serial line and shows its weight.
#include <QApplication>
#include <QLocale>

#include <optional>

#include "app/serial/qtserialcontrol.h"
#include "app/settings/datafolder.h"
#include "app/timers/qttimercontrol.h"
#include "app/window/form1.h"
#include "ui/mainwindow.h"
#include "ui/windowstart.h"

int main(int argc, char* argv[]) {
    if (const auto status = scale::answerInfoOption(argc, argv)) {
        return *status;
    }
    std::optional<scale::DisplayGuard> guard(std::in_place);
    QApplication application(argc, argv);
    guard.reset();
    // One ID for the desktop entry, the AppStream metainfo and the icon.
    QGuiApplication::setDesktopFileName(QStringLiteral("io.github.scalereadout.ScaleReadout"));
    const QString folder = scale::dataFolder(QCoreApplication::applicationDirPath());

    scale::MainWindow window;
    scale::QtSerialControl comm(folder + QStringLiteral("/ports"));
    scale::QtTimerControl timer1;
    scale::QtTimerControl timer3;
    scale::Form1 form(window, comm, timer1, timer3, folder,
                      QLocale::system().decimalPoint());

    window.setPortDevices([&comm] { return comm.deviceNames(); });
    QObject::connect(&window, &scale::MainWindow::applyClicked, [&form] { form.Command1_Click(); });
    QObject::connect(&window, &scale::MainWindow::activated, [&form] { form.Form_GotFocus(); });

    form.Form_Load();
    window.show();
    window.focusFirstControl();
    // Closing the window ends the program: nothing is saved or closed first.
    return application.exec();
}
