// scale-wedge: types each settled weight where the cursor is, from a tray icon.
#include <QApplication>
#include <QSystemTrayIcon>
#include <cstdio>
#include <cstring>

#include "tools/scale-wedge/wedgepanel.h"
#include "tools/scale-wedge/wedgesettings.h"

int main(int argc, char** argv) {
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) {
            std::printf("Usage: scale-wedge\n\nTypes each settled weight of a weighing indicator "
                        "into the window that has the\nkeyboard's focus, from a tray icon (or a "
                        "small window where there is no tray).\nSettings are made in its dialog "
                        "and kept in scale-wedge.ini in the settings\nfolder; see man "
                        "scale-wedge and man scale-read (--type).\n");
            return 0;
        }
        if (std::strcmp(argv[i], "--version") == 0 || std::strcmp(argv[i], "-V") == 0) {
            std::printf("scale-wedge %s\n", SCALE_READOUT_VERSION);
            return 0;
        }
        std::fprintf(stderr, "scale-wedge: unexpected argument '%s' (see --help)\n", argv[i]);
        return 2;
    }
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QApplication::setApplicationName(QStringLiteral("scale-wedge"));
    QApplication::setApplicationDisplayName(QStringLiteral("Scale to keyboard"));
    scalewedge::WedgePanel panel(scalewedge::settingsPath());
    panel.present();
    // Without a tray, closing the panel ends the program; with one, the tray's Quit does.
    QObject::connect(&app, &QApplication::lastWindowClosed, [] {
        if (!QSystemTrayIcon::isSystemTrayAvailable()) {
            QApplication::quit();
        }
    });
    return QApplication::exec();
}
