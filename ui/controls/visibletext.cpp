#include "ui/controls/visibletext.h"

namespace scale {

QString visibleText(const QString& caption) {
    QString text = caption;
    for (QChar& c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20) {
            c = QChar(static_cast<char16_t>(0x2400 + code));
        } else if (code == 0x7F) {
            c = QChar(static_cast<char16_t>(0x2421));
        } else if (code >= 0x80 && code <= 0x9F) {
            c = QChar(static_cast<char16_t>(0xFFFD));
        }
    }
    return text;
}

}  // namespace scale
