#pragma once

#include <QStringList>

namespace scale {

// Maps the design's Chinese font faces ("隶书" for the readout, "宋体" for the credits) to faces
// that are commonly installed where they are not, so no glyph is drawn as a box.
void installFontSubstitutes();

// The faces of the selection boxes, whose texts must fit the design's narrow boxes, in the order
// they are tried for each character; empty when the host has none of them, and the window's
// default font stays.
QStringList selectionBoxFamilies();

}  // namespace scale
