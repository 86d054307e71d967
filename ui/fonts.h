#pragma once

namespace scale {

// Maps the design's Chinese font faces ("隶书" for the readout, "宋体" for the credits) to faces
// that are commonly installed where they are not, so no glyph is drawn as a box.
void installFontSubstitutes();

}  // namespace scale
