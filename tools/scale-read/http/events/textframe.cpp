#include "tools/scale-read/http/events/textframe.h"

#include <QString>

namespace scaleread {

QByteArray textFrame(const QByteArray& message) {
    // A record holds the line's text and unit as they came, which need not be UTF-8.
    const QByteArray text = message.isValidUtf8() ? message : QString::fromUtf8(message).toUtf8();
    const auto size = static_cast<quint64>(text.size());
    QByteArray frame;
    frame.reserve(text.size() + 10);
    frame.append('\x81');  // final, text
    if (size < 126) {
        frame.append(static_cast<char>(size));
    } else {
        const int bytes = size <= 0xFFFF ? 2 : 8;
        frame.append(static_cast<char>(bytes == 2 ? 126 : 127));
        for (int shift = 8 * (bytes - 1); shift >= 0; shift -= 8) {
            frame.append(static_cast<char>((size >> shift) & 0xFF));
        }
    }
    frame.append(text);
    return frame;
}

}  // namespace scaleread
