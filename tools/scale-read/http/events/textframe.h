#pragma once

#include <QByteArray>

namespace scaleread {

// A whole text message as a server sends it (RFC 6455, section 5.2): one final frame, unmasked,
// its length in 7, 16 or 64 bits. Built once for all the clients it goes to. A text message must
// be UTF-8: what is not has its faults replaced, as Qt does for a QString.
QByteArray textFrame(const QByteArray& message);

}  // namespace scaleread
