#pragma once

#include <QString>

namespace scale {

// A raw-data caption as it can be drawn on one line: control characters (codes below 0x20, and
// 0x7F) become their visible control pictures (U+2400 ...), and the C1 controls 0x80 to 0x9F,
// which some renderers treat as line breaks, become U+FFFD. Every other character, and the
// character count, stay as they are.
QString visibleText(const QString& caption);

}  // namespace scale
