#pragma once

#include <QDialog>

#include "tools/scale-wedge/wedgesettings.h"

class QComboBox;
class QLineEdit;
class QLabel;
class QProcess;

namespace scalewedge {

// The station (port, line settings, protocol, with "Find" running the reader's detection),
// the template, the trigger and the target window rule. Accepting checks the typing part as
// scale-read --type would.
class SettingsDialog : public QDialog {
public:
    SettingsDialog(const WedgeSettings& settings, QWidget* parent = nullptr);
    WedgeSettings settings() const;

private:
    void find();
    void done(int result) override;

    QComboBox* m_port;
    QLineEdit* m_lineSettings;
    QComboBox* m_protocol;
    QLineEdit* m_text;
    QComboBox* m_on;
    QLineEdit* m_hotkey;
    QLineEdit* m_into;
    QComboBox* m_decimal;
    QLabel* m_problem;
    QProcess* m_detection = nullptr;
};

}  // namespace scalewedge
