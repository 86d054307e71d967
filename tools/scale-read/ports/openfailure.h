#pragma once

#include <QString>

namespace scaleread {

// One line for a port that would not open: what was asked for, the device it reached, and why,
// with what to do about a permission the user lacks.
// `shown`: the port as given ("Com1" or a path); `device`: what it resolved to (empty: nothing);
// `reason`: the serial control's own account.
QString openFailureText(const QString& shown, const QString& device, const QString& reason);

// "Com1 (/dev/ttyUSB0)" or the path alone.
QString portLabel(const QString& shown, const QString& device);

}  // namespace scaleread
