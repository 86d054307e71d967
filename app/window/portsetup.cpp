// The port procedures: line settings from the boxes' texts, port number from the port box's list
// position, and opening and closing with the operator's two message texts.
#include <QString>

#include "app/serial/serialcontrol.h"
#include "app/window/form1.h"
#include "app/window/formview.h"
#include "protocols/numbertext.h"

namespace scale {
namespace {

// Spaces only, as the boxes' texts are trimmed for the line settings.
QString trimSpaces(const QString& text) {
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first] == QLatin1Char(' ')) {
        ++first;
    }
    while (last > first && text[last - 1] == QLatin1Char(' ')) {
        --last;
    }
    return text.mid(first, last - first);
}

// A box's leading number written back as plain text: "9600" stays "9600", "1.5" stays "1.5", an
// empty or non-numeric text gives "0". The settings text always uses a full stop: the control
// separates its fields with commas, so a host whose decimal separator is a comma must not leak
// into it.
QString numberField(const QString& text) {
    return QString::fromStdString(generalNumberText(leadingNumber(text.toStdString())));
}

}  // namespace

void Form1::Comm_Load() {
    const QString parity = trimSpaces(m_view.comboText(3)).left(1);
    const QString settings = numberField(m_view.comboText(2)) + QLatin1Char(',') + parity +
                             QLatin1Char(',') + numberField(m_view.comboText(4)) +
                             QLatin1Char(',') + numberField(m_view.comboText(5));
    const int position = m_view.comboListIndex(1);
    // The settings go first: when they are refused the port number is left as it was.
    if (!MSComm1.setSettings(settings) ||
        !MSComm1.setCommPort(static_cast<std::int16_t>(position == -1 ? 1 : position + 1))) {
        m_view.showMessage(QStringLiteral("指定端口不存在或者正在被使用！"));
    }
}

void Form1::Comm_Open() {
    if (!MSComm1.setPortOpen(true)) {
        m_view.showMessage(QStringLiteral("端口不存在或正在被使用！"));
    }
}

void Form1::Comm_Close() {
    (void)MSComm1.setPortOpen(false);
}

}  // namespace scale
