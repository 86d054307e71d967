// The weight readout, Label1: its three states and the rule that keeps it centred.
#include "app/window/form1.h"
#include "app/window/formview.h"

namespace scale {

void Form1::setLabel1Caption(const QString& caption) {
    m_view.setReadoutCaption(caption);
    Label1_Change();  // the label's change event runs inside the assignment
}

void Form1::Label1_Change() {
    // Centred on the window's outer width (borders included) although Left counts from the
    // client area, so the readout sits one border width right of the client centre. Not clamped:
    // a caption wider than the window gets a negative Left.
    const double labelWidth = m_view.readoutWidth();
    const double formWidth = m_view.formWidth();
    m_view.setReadoutLeft(static_cast<float>((formWidth - labelWidth) / 2.0));
}

void Form1::showWaiting() {
    setLabel1Caption(QStringLiteral("Load..."));
    m_view.setReadoutForeColor(kRed);
}

void Form1::showWeighing(const QString& weightText, bool signStep) {
    setLabel1Caption(weightText);
    if (signStep) {
        setLabel1Caption(QLatin1Char('-') + m_view.readoutCaption());
    }
    m_view.setReadoutForeColor(kGreen);
}

void Form1::showPortFailed() {
    setLabel1Caption(QStringLiteral("0kg"));
    m_view.setReadoutForeColor(kRed);
}

}  // namespace scale
