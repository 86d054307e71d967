#pragma once

#include <QWidget>
#include <array>
#include <functional>
#include <optional>

#include "app/window/formview.h"

class QGroupBox;
class QLabel;
class QPushButton;

namespace scale {

class SelectionBox;

// Form1: the settings panel under a very large weight readout, with the three raw-data lines
// below. Controls keep their design positions in twips, scaled with the screen's logical dpi.
class MainWindow : public QWidget, public FormView {
    Q_OBJECT
public:
    explicit MainWindow(QWidget* parent = nullptr);

    // Where each "ComN" leads, for the port list's tool tips; asked whenever that list opens.
    void setPortDevices(std::function<QStringList()> provider);
    // Gives the keyboard focus to the first control of the focus order that can take it.
    void focusFirstControl();

    // FormView
    void setWindowCaption(const QString& caption) override;
    float formWidth() const override;
    QString comboText(int box) const override;
    int comboListIndex(int box) const override;
    bool setComboListIndex(int box, int index) override;
    void addComboItem(int box, const QString& text) override;
    QString readoutCaption() const override;
    void setReadoutCaption(const QString& caption) override;
    void setReadoutForeColor(std::uint32_t bgr) override;
    void setReadoutFontSize(float points) override;
    void setReadoutTop(float twips) override;
    void setReadoutLeft(float twips) override;
    float readoutWidth() const override;
    void setLabelCaption(Label label, const QString& caption) override;
    void setApplyEnabled(bool enabled) override;
    bool applyEnabled() const override;
    void showMessage(const QString& text) override;

    // The caption a label was last given, control characters and all (what is drawn may show
    // them as control pictures).
    QString labelCaption(Label label) const;

signals:
    void applyClicked();
    void activated();

protected:
    bool event(QEvent* event) override;

private:
    int px(double twips) const;
    float twips(int pixels) const;
    QLabel* addLabel(QWidget* parent, const QString& name, const QString& caption, int left,
                     int top);
    SelectionBox* addCombo(const QString& name, const QString& text, const QStringList& items,
                           int left, int width);
    QLabel* labelFor(Label label) const;
    SelectionBox* combo(int box) const;
    void placeReadout();
    void refreshPortToolTips();
    void setPortToolTip(int item);

    double m_dpi = 96.0;
    QStringList m_boxFamilies;
    int m_frameWidthBeforeShow = 0;  // pixels
    QGroupBox* m_frame1 = nullptr;
    std::array<SelectionBox*, 6> m_combos{};
    QPushButton* m_command1 = nullptr;
    QLabel* m_label1 = nullptr;
    QLabel* m_label2Version = nullptr;
    QLabel* m_label4 = nullptr;
    QLabel* m_label5 = nullptr;
    QLabel* m_label6 = nullptr;
    std::array<QString, 4> m_captions;   // by Label, as given
    std::array<bool, 4> m_labelSized{};  // sized once for the caption's prefix
    float m_readoutLeft = 0.0f;
    float m_readoutTop = 0.0f;
    std::function<QStringList()> m_portDevices;
    std::optional<QStringList> m_knownDevices;  // the host's last answer
};

}  // namespace scale
