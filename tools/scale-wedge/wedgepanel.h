#pragma once

#include <QWidget>
#include <memory>

#include "tools/scale-wedge/wedgestation.h"

class QLabel;
class QPushButton;
class QSystemTrayIcon;
class QAction;

namespace scalewedge {

// What the operator sees: the live weight and its state, the last value typed, pause and
// resume, and the settings. A tray icon where the desktop has a tray, with this panel a click
// away; otherwise the panel itself, small and on top of the other windows.
class WedgePanel : public QWidget {
public:
    explicit WedgePanel(QString settingsPath);
    // Shows the tray icon, or the panel where there is no tray.
    void present();

private:
    void restart();
    void setPaused(bool paused);
    void openSettings();
    void showWeight(const QString& weight);
    void showState(const QString& text);

    QString m_settingsPath;
    WedgeSettings m_settings;
    std::unique_ptr<WedgeStation> m_station;
    QLabel* m_weight;
    QLabel* m_state;
    QLabel* m_typed;
    QLabel* m_keyboard;
    QPushButton* m_pause;
    QSystemTrayIcon* m_tray = nullptr;
    QAction* m_trayWeight = nullptr;
    QAction* m_trayPause = nullptr;
    bool m_paused = false;
};

}  // namespace scalewedge
