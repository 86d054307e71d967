#include "tools/scale-wedge/wedgepanel.h"

#include <QAction>
#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QVBoxLayout>

#include "tools/scale-wedge/settingsdialog.h"

namespace scalewedge {

WedgePanel::WedgePanel(QString settingsPath)
    : m_settingsPath(std::move(settingsPath)), m_settings(loadSettings(m_settingsPath)) {
    setWindowTitle(QStringLiteral("Scale to keyboard"));
    setWindowFlag(Qt::WindowStaysOnTopHint);
    // Clicking here must not take the focus from the form being typed into.
    setAttribute(Qt::WA_ShowWithoutActivating);
    auto* layout = new QVBoxLayout(this);
    m_weight = new QLabel(QStringLiteral("----"));
    QFont big = m_weight->font();
    big.setPointSize(28);
    big.setBold(true);
    m_weight->setFont(big);
    m_weight->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    m_state = new QLabel;
    m_typed = new QLabel(QStringLiteral("Nothing typed yet"));
    m_keyboard = new QLabel;
    m_keyboard->setWordWrap(true);
    QFont small = m_keyboard->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    m_keyboard->setFont(small);
    m_pause = new QPushButton(QStringLiteral("Pause"));
    auto* settingsButton = new QPushButton(QStringLiteral("Settings..."));
    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_pause);
    buttons->addWidget(settingsButton);
    layout->addWidget(m_weight);
    layout->addWidget(m_state);
    layout->addWidget(m_typed);
    layout->addWidget(m_keyboard);
    layout->addLayout(buttons);
    connect(m_pause, &QPushButton::clicked, this, [this] { setPaused(!m_paused); });
    connect(settingsButton, &QPushButton::clicked, this, [this] { openSettings(); });
    setMinimumWidth(280);
    restart();
}

void WedgePanel::present() {
    if (!QSystemTrayIcon::isSystemTrayAvailable()) {
        show();
        return;
    }
    m_tray = new QSystemTrayIcon(QIcon::fromTheme(QStringLiteral("input-keyboard")), this);
    auto* menu = new QMenu(this);
    m_trayWeight = menu->addAction(m_weight->text());
    m_trayWeight->setEnabled(false);
    m_trayPause = menu->addAction(QStringLiteral("Pause"), [this] { setPaused(!m_paused); });
    menu->addAction(QStringLiteral("Show"), [this] { show(); });
    menu->addAction(QStringLiteral("Settings..."), [this] { openSettings(); });
    menu->addAction(QStringLiteral("Quit"), [] { QApplication::quit(); });
    m_tray->setContextMenu(menu);
    connect(m_tray, &QSystemTrayIcon::activated, this, [this] { setVisible(!isVisible()); });
    m_tray->show();
}

void WedgePanel::restart() {
    m_station.reset();
    m_station = std::make_unique<WedgeStation>();
    m_station->feed.weight = [this](const QString& weight, bool stable) {
        showWeight(weight);
        showState(stable ? QStringLiteral("stable") : QStringLiteral("moving"));
    };
    m_station->feed.typed = [this](const QString& text) {
        m_typed->setText(QStringLiteral("Last typed: %1").arg(text));
    };
    // No weight stands on a port that is gone: the last one is not left showing.
    m_station->feed.port = [this](scaleread::PortState state) {
        if (state == scaleread::PortState::Open) {
            showState(QStringLiteral("waiting for %1").arg(m_settings.port));
            return;
        }
        showWeight(QStringLiteral("----"));
        showState(QStringLiteral("the port is gone; waiting for it"));
    };
    m_station->onNote = [this](const QString& text) { m_keyboard->setText(text); };
    QString error;
    if (!m_station->start(m_settings, error)) {
        showWeight(QStringLiteral("----"));
        showState(QStringLiteral("not reading: %1").arg(error));
        m_station.reset();
        return;
    }
    m_keyboard->setText(m_station->keyboardName());
    m_station->setPaused(m_paused);
    showState(QStringLiteral("waiting for %1").arg(m_settings.port));
}

void WedgePanel::showWeight(const QString& weight) {
    m_weight->setText(weight);
    if (m_trayWeight != nullptr) {
        m_trayWeight->setText(weight);
        m_tray->setToolTip(QStringLiteral("Scale to keyboard: %1").arg(weight));
    }
}

void WedgePanel::showState(const QString& text) {
    m_state->setText(m_paused ? QStringLiteral("%1 - typing paused").arg(text) : text);
}

void WedgePanel::setPaused(bool paused) {
    m_paused = paused;
    if (m_station) {
        m_station->setPaused(paused);
    }
    m_pause->setText(paused ? QStringLiteral("Resume") : QStringLiteral("Pause"));
    if (m_trayPause != nullptr) {
        m_trayPause->setText(m_pause->text());
    }
    showState(paused ? QStringLiteral("paused") : QStringLiteral("typing"));
}

void WedgePanel::openSettings() {
    SettingsDialog dialog(m_settings, this);
    if (dialog.exec() != QDialog::Accepted) {
        return;
    }
    m_settings = dialog.settings();
    if (!saveSettings(m_settingsPath, m_settings)) {
        showState(QStringLiteral("the settings could not be saved to %1").arg(m_settingsPath));
    }
    restart();
}

}  // namespace scalewedge
