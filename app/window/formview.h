#pragma once

#include <QString>
#include <cstdint>

namespace scale {

// The window's controls as the window's code sees them. The real window (ui/) implements it with
// widgets; the tests implement it with plain fields, so everything that decides what the window
// shows runs without a display. Positions and sizes are in twips (1/1440 inch).
class FormView {
public:
    enum class Label { Version, Decimal, Hex, Characters };  // Label2(2), Label4, Label5, Label6

    virtual ~FormView() = default;

    virtual void setWindowCaption(const QString& caption) = 0;
    // The window's outer width, borders included.
    virtual float formWidth() const = 0;

    // Selection boxes Combo1 to Combo6. Text and list position are kept apart: typed text selects
    // nothing, and a box with no position keeps its text.
    virtual QString comboText(int box) const = 0;
    virtual int comboListIndex(int box) const = 0;
    // Refused (false, nothing changes) for a position below -1 or not below the item count.
    // Position -1 clears the selection and the text.
    virtual bool setComboListIndex(int box, int index) = 0;
    virtual void addComboItem(int box, const QString& text) = 0;

    // The weight readout, Label1.
    virtual QString readoutCaption() const = 0;
    virtual void setReadoutCaption(const QString& caption) = 0;
    virtual void setReadoutForeColor(std::uint32_t bgr) = 0;
    virtual void setReadoutFontSize(float points) = 0;
    virtual void setReadoutTop(float twips) = 0;
    virtual void setReadoutLeft(float twips) = 0;
    // The readout's width for the text it shows now.
    virtual float readoutWidth() const = 0;

    virtual void setLabelCaption(Label label, const QString& caption) = 0;

    virtual void setApplyEnabled(bool enabled) = 0;
    virtual bool applyEnabled() const = 0;

    // A modal box with the text and an OK button; returns when the operator has closed it.
    virtual void showMessage(const QString& text) = 0;
};

}  // namespace scale
